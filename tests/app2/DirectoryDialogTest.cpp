// The output-folder dialog with the main window's "Browse" handler: a chosen
// folder is stored, Cancel and the folder already shown store nothing, and a
// folder that cannot be written is refused with the message while the
// dialog stays open.
#include "DirectoryDialog.h"
#include "QtDesk.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TDirectoryDialogTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vexmora-folders-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FFolder = pattern;
    std::filesystem::create_directory(FFolder + "/videos");
    FEdit.setText("/somewhere/else");
  }
  void TearDown() override {
    chmod((FFolder + "/locked").c_str(), 0755);
    std::filesystem::remove_all(FFolder);
  }
  // Runs the Browse handler; AChoose acts on the shown dialog.
  void Browse(std::function<void(TfmDirectory*)> AChoose) {
    WhenModal<QDialog>([AChoose](QDialog* ADialog) {
      auto* dialog = dynamic_cast<TfmDirectory*>(ADialog);
      ASSERT_NE(dialog, nullptr);
      AChoose(dialog);
    });
    BrowseForOutputDir(FDialog, FEdit, FSettings);
  }

  std::string FFolder;
  TfmDirectory FDialog;
  QLineEdit FEdit;
  TMemorySettings FSettings;
};

TEST_F(TDirectoryDialogTest, AChosenFolderIsStoredAndShown) {
  const QString chosen = QString::fromStdString(FFolder + "/videos");
  Browse([&](TfmDirectory* ADialog) {
    EXPECT_EQ(ADialog->size(), QSize(322, 351));
    EXPECT_EQ(ADialog->windowTitle(), "Browse");
    EXPECT_EQ(ADialog->findChild<QLabel*>("lbl1")->text(), "Please select an output directory:");
    // It opens on the user's own folder.
    EXPECT_EQ(ADialog->TreeSelectedPath(), QDir::homePath());
    ADialog->SelectFolder(chosen);
    SaveScreenshot(ADialog->grab().toImage(), "folder-dialog");
    QTest::mouseClick(ADialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  });
  EXPECT_EQ(FSettings.ReadString("settings", "OutPutDir", ""), chosen.toStdString());
  EXPECT_EQ(FEdit.text(), chosen);
  EXPECT_EQ(FDialog.SelectedPath(), chosen);
}

TEST_F(TDirectoryDialogTest, CancelAndTheFolderAlreadyShownStoreNothing) {
  Browse([&](TfmDirectory* ADialog) {
    ADialog->SelectFolder(QString::fromStdString(FFolder + "/videos"));
    QTest::mouseClick(ADialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
  });
  EXPECT_TRUE(FDialog.SelectedPath().isEmpty());
  EXPECT_EQ(FSettings.Writes, 0);
  EXPECT_EQ(FEdit.text(), "/somewhere/else");

  FEdit.setText(QString::fromStdString(FFolder));
  Browse([&](TfmDirectory* ADialog) {
    ADialog->SelectFolder(QString::fromStdString(FFolder));
    ADialog->btnOkClick();
  });
  EXPECT_EQ(FSettings.Writes, 0);
}

// Root may write anywhere on a writable medium, so the test takes another
// user's identity while the folder is checked.
class TEffectiveUser {
public:
  explicit TEffectiveUser(uid_t AUser) : FSwitched(geteuid() == 0 && seteuid(AUser) == 0) {}
  ~TEffectiveUser() {
    if (FSwitched && seteuid(0) != 0) std::abort();
  }

private:
  bool FSwitched;
};

TEST_F(TDirectoryDialogTest, AFolderThatCannotBeWrittenIsRefused) {
  const std::string locked = FFolder + "/locked";
  std::filesystem::create_directory(locked);
  chmod(locked.c_str(), 0555);
  chmod(FFolder.c_str(), 0755);
  QString message, caption;
  bool stayedOpen = false;
  Browse([&](TfmDirectory* ADialog) {
    ADialog->SelectFolder(QString::fromStdString(locked));
    WhenModal<QMessageBox>([&](QMessageBox* ABox) {
      message = ABox->text();
      caption = ABox->windowTitle();
      ABox->accept();
    });
    {
      TEffectiveUser nobody(65534);
      ADialog->btnOkClick();
    }
    stayedOpen = ADialog->isVisible() && ADialog->SelectedPath().isEmpty();
    // A writable folder is taken after all.
    ADialog->SelectFolder(QString::fromStdString(FFolder + "/videos"));
    ADialog->btnOkClick();
  });
  EXPECT_EQ(message.toStdString(),
            "Output folder cannot be located in CD-ROM.Please select another folder.");
  EXPECT_EQ(caption, "Vexmora");
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(FSettings.ReadString("settings", "OutPutDir", ""), FFolder + "/videos");
  EXPECT_EQ(FSettings.Writes, 1);
}

} // namespace
