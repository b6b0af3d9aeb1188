// The output-folder dialog (see DirectoryDialog.h).
#include "DirectoryDialog.h"

#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QVBoxLayout>

#include <sys/statvfs.h>
#include <unistd.h>

namespace {
constexpr int kWidth = 322, kHeight = 351;
} // namespace

TfmDirectory::TfmDirectory(QWidget* AParent) : QDialog(AParent) {
  setObjectName("fmDirectory");
  setWindowTitle(QStringLiteral("Browse"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);

  FLabel = new QLabel(QStringLiteral("Please select an output directory:"), this);
  FLabel->setObjectName("lbl1");
  FModel = new QFileSystemModel(this);
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  FModel->setRootPath(QStringLiteral("/"));
  FTree = new QTreeView(this);
  FTree->setObjectName("stview_selectdir");
  FTree->setModel(FModel);
  FTree->setRootIsDecorated(false);
  FTree->setHeaderHidden(true);
  for (int column = 1; column < FModel->columnCount(); ++column)
    FTree->hideColumn(column);
  connect(FTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { stview_selectdirClick(); });

  FOk = new QPushButton(QStringLiteral("Ok"), this);
  FOk->setObjectName("btnOk");
  FCancel = new QPushButton(QStringLiteral("Cancel"), this);
  FCancel->setObjectName("btnCancel");
  connect(FOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(FCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(FOk);
  buttons->addWidget(FCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(FLabel);
  layout->addWidget(FTree, 1);
  layout->addLayout(buttons);
  setFixedSize(kWidth, kHeight);
}

void TfmDirectory::showEvent(QShowEvent* AEvent) {
  setFixedSize(kWidth, kHeight);
  // The user's own folder is where a writable place is found first.
  SelectFolder(QDir::homePath());
  QDialog::showEvent(AEvent);
}

void TfmDirectory::SelectFolder(const QString& APath) {
  const QModelIndex index = FModel->index(APath);
  FTree->setCurrentIndex(index);
  FTree->scrollTo(index);
  stview_selectdirClick();
}

QString TfmDirectory::TreeSelectedPath() const {
  const QModelIndex index = FTree->currentIndex();
  return index.isValid() ? FModel->filePath(index) : QString();
}

void TfmDirectory::stview_selectdirClick() {
  // Only a folder can be chosen.
  FOk->setEnabled(FTree->currentIndex().isValid());
}

QString TfmDirectory::RefusalOf(const QString& AFolder) {
  const QByteArray path = QFile::encodeName(AFolder);
  struct statvfs fs {};
  const bool readOnlyMedium = statvfs(path.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
  if (readOnlyMedium || euidaccess(path.constData(), W_OK | X_OK) != 0)
    return QStringLiteral(
        "Output folder cannot be located in CD-ROM.Please select another folder.");
  return {};
}

void TfmDirectory::btnOkClick() {
  FSelectedPath = TreeSelectedPath();
  if (FSelectedPath.isEmpty()) return;
  const QString refusal = RefusalOf(FSelectedPath);
  if (!refusal.isEmpty()) {
    FSelectedPath.clear();
    QMessageBox::information(this, QGuiApplication::applicationDisplayName(), refusal);
    return;
  }
  accept();
}

void TfmDirectory::btnCancelClick() {
  FSelectedPath.clear();
  reject();
}

void BrowseForOutputDir(TfmDirectory& ADialog, QLineEdit& AEdit, TSettingsStore& ASettings) {
  if (ADialog.exec() != QDialog::Accepted) return;
  const QString chosen = ADialog.SelectedPath();
  if (chosen.isEmpty() || chosen == AEdit.text()) return;
  ASettings.WriteString("settings", "OutPutDir", chosen.toStdString());
  AEdit.setText(chosen);
}
