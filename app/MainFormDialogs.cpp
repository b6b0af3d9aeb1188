// The main window's region commands ("Show Region" and the region edits'
// exit handlers, "Close Region", the full-screen button, the picker), the
// output-folder dialog behind "Browse", the three overlay option dialogs,
// and the Language menu that translates the window and those dialogs.
#include "MainForm.h"

#include "DirectoryDialog.h"
#include "ImageButton.h"
#include "IniSettingsStore.h"
#include "Language.h"
#include "OverlayOptionsDialog.h"
#include "RegionSelection.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>

// What the window owns for its dialogs. The dialogs are the window's
// children (so they stand over it) and are freed before the store they use.
struct TMainDialogs {
  TMainDialogs(TfrmMain* AForm, const std::string& AIniFileName)
      : Settings(AIniFileName),
        Region(AForm, TRegionEdits{AForm->edtLeft, AForm->edtTop, AForm->edtW, AForm->edtH,
                                   [AForm](const QString& AText) {
                                     AForm->lblRecorderStatus->setText(AText);
                                   }}),
        Directory(std::make_unique<TfmDirectory>(AForm)),
        TextOptions(std::make_unique<TfrmAddTextOptions>(Settings, AForm)),
        TimestampOptions(std::make_unique<TfrmAddTimestampOptions>(Settings, AForm)),
        ImageOptions(std::make_unique<TfrmAddImageOptions>(Settings, AForm)) {}

  TIniSettingsStore Settings;
  TRegionSelection Region;
  std::unique_ptr<TfmDirectory> Directory;
  std::unique_ptr<TfrmAddTextOptions> TextOptions;
  std::unique_ptr<TfrmAddTimestampOptions> TimestampOptions;
  std::unique_ptr<TfrmAddImageOptions> ImageOptions;
  // "Show Region" is running: its warning box takes the focus from an edit,
  // whose exit handler must not ask a second time.
  bool ShowingRegion = false;
};

void TMainDialogsDeleter::operator()(TMainDialogs* ADialogs) const {
  delete ADialogs;
}

void TfrmMain::CreateDialogs() {
  FDialogs.reset(new TMainDialogs(this, FIniFileName));
  fmDirectory = FDialogs->Directory.get();
  frmAddTextOptions = FDialogs->TextOptions.get();
  frmAddTimestampOptions = FDialogs->TimestampOptions.get();
  frmAddImageOptions = FDialogs->ImageOptions.get();

  connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowseClick(); });
  connect(btnShow, &QPushButton::clicked, this, [this] { btnShowClick(); });
  connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
  btnDesktop->OnClick = [this](QObject*) { btnDesktopClick(); };
  btnSelect->OnClick = [this](QObject*) { btnSelectClick(); };
  // The edits' exit handlers: leaving an edit for another control of this
  // window. An edit also finishes when the window loses the focus (another
  // program, a message box, closing), which is no exit: it would warn about
  // a half-typed region at every switch.
  for (QLineEdit* edit : {edtLeft, edtTop, edtW, edtH})
    connect(edit, &QLineEdit::editingFinished, this, [this] {
      if (isActiveWindow()) btnShowClick();
    });
  connect(btnAddTextOptions, &QPushButton::clicked, this, [this] { btnAddTextOptionsClick(); });
  connect(btnAddTimeStamp, &QPushButton::clicked, this, [this] { btnAddTimeStampClick(); });
  connect(btnAddWatermarkOptions, &QPushButton::clicked, this,
          [this] { btnAddWatermarkOptionsClick(); });
}

TRegionSelection* TfrmMain::RegionSelection() const {
  return FDialogs ? &FDialogs->Region : nullptr;
}

void TfrmMain::btnBrowseClick() {
  BrowseForOutputDir(*fmDirectory, *edtDir, FDialogs->Settings);
}

void TfrmMain::btnShowClick() {
  if (FDialogs->ShowingRegion) return;
  const QScopedValueRollback<bool> showing(FDialogs->ShowingRegion, true);
  FDialogs->Region.btnShowClick();
}

void TfrmMain::btnCloseClick() {
  FDialogs->Region.btnCloseClick();
}

void TfrmMain::btnDesktopClick() {
  FDialogs->Region.btnDesktopClick();
}

void TfrmMain::btnSelectClick() {
  FDialogs->Region.btnSelectClick();
}

void TfrmMain::btnAddTextOptionsClick() {
  frmAddTextOptions->exec();
}

void TfrmMain::btnAddTimeStampClick() {
  frmAddTimestampOptions->exec();
}

void TfrmMain::btnAddWatermarkOptionsClick() {
  frmAddImageOptions->exec();
}

namespace {
QString LanguageFolderOf(const std::string& AProgramFolder) {
  return AProgramFolder.empty() ? LanguageFolder()
                                : QString::fromStdString(AProgramFolder) + "/language/";
}
} // namespace

void TfrmMain::BuildLanguageMenu() {
  mniLanguage->clear();
  FillLanguageMenu(mniLanguage, ListLanguageFiles(LanguageFolderOf(FHookFolder)),
                   [this](const QString& ALanguage) { LangueMenuItemClick(ALanguage); });
}

void TfrmMain::LangueMenuItemClick(const QString& ALanguage) {
  // The folder dialog keeps its texts.
  const QString folder = LanguageFolderOf(FHookFolder);
  for (QWidget* form : std::initializer_list<QWidget*>{this, frmAddTextOptions,
                                                       frmAddTimestampOptions, frmAddImageOptions})
    ApplyLanguage(form, ALanguage, folder);
  // The hidden pages ask for no new layout when their texts change.
  if (FShown) FitSize();
}
