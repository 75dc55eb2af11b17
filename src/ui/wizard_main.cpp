#include "ui/wizard_main.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <memory>

#include "app/mod_wizard.h"
#include "app/resource_location.h"
#include "app/version.h"
#include "ui/frm_wizard.h"
#include "ui/help_window.h"
#include "ui/single_instance_lock.h"
#include "ui/ui_session.h"
#include "ui/wizard_message_sink.h"

namespace vl {

bool gbHelpShown = false;

namespace {

std::unique_ptr<Session> g_session;

void InitWizardForm() { gfrmWizard->init(); }

// Creates the globals and the window, and initialises them; false when the
// program must end (the failure has been reported).
bool StartUp(std::unique_ptr<frmWizard>& form) {
  if (!AppSession().CreateGlobalObjects()) return false;
  form = std::make_unique<frmWizard>();
  gfrmWizard = form.get();
  std::string program_dir = GetProgramDirectory();
  if (!AppSession().InitGlobalObjects(FindResourceDirectory(program_dir), &InitWizardForm))
    return false;
  gbHelpShown = false;
  return true;
}

// The program's title from the resource file, before anything else is
// loaded; the program file's name when the file cannot be read.
QString ProgramTitle() {
  try {
    Resource texts;
    texts.InitResources(FindResourceDirectory(GetProgramDirectory()) + "/" + kResourceFileName,
                        kAppName);
    return QString::fromStdString(texts.GetString(frmWizard::kResTitle));
  } catch (const std::exception&) {
    return kAppName;
  }
}

// A second start: the running window comes to the front, and the user is
// told why no second one opens.
void TellAnotherInstanceRuns(const std::string& lockPath) {
  SingleInstanceLock::Knock(lockPath);
  QMessageBox::information(nullptr, ProgramTitle(), kAnotherInstanceMessage);
}

}  // namespace

Session& AppSession() {
  if (!g_session) g_session = std::make_unique<Session>();
  return *g_session;
}

Session& StartSession(MessageSink* sink) {
  g_session = std::make_unique<Session>(sink);
  return *g_session;
}

void EndSession() { g_session.reset(); }

void ResetUiGlobals() {
  CloseHelp();
  gfrmWizard = nullptr;
  gbHelpShown = false;
  EndSession();
}

int Main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kAppName);
  QApplication::setApplicationVersion(kVersion);
  // The installed icon, or in a build folder the one beside the resource file.
  QString icon_file = QString::fromStdString(FindResourceDirectory(GetProgramDirectory()) +
                                             "/bitmaps/wizard-icon-48.png");
  QApplication::setWindowIcon(
      QIcon::fromTheme("velloq-create-project-from-baseline", QIcon(icon_file)));
  WizardMessageSink sink;
  StartSession(&sink);
  int status = 1;
  std::unique_ptr<frmWizard> form;
  try {
    SingleInstanceLock lock;
    if (!lock.Acquire()) {
      TellAnotherInstanceRuns(SingleInstanceLock::DefaultPath());
      status = 0;
    } else if (StartUp(form)) {
      lock.OnKnock([] {
        if (gfrmWizard) gfrmWizard->BringToFront();
      });
      form->on_unloaded = [] { QCoreApplication::quit(); };
      form->show();
      status = app.exec();
    }
  } catch (const std::exception&) {
    AppSession().messages.ReportProcError("Modwizard.Main", "");
  }
  form.reset();
  ResetUiGlobals();
  return status;
}

}  // namespace vl
