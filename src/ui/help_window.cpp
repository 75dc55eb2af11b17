#include "ui/help_window.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "app/mod_wizard.h"
#include "ui/qt_text.h"
#include "ui/ui_session.h"

namespace vl {

namespace {

QPointer<QWidget> g_help_window;

QTextBrowser* BrowserOf(QWidget* window) { return window->findChild<QTextBrowser*>(); }

QWidget* CreateHelpWindow() {
  auto* window = new QWidget(nullptr, Qt::Window);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QRes(kResHelpTitle));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* browser = new QTextBrowser(window);
  browser->setOpenExternalLinks(false);
  layout->addWidget(browser);
  window->resize(640, 560);
  return window;
}

}  // namespace

void ShowHelp(const std::string& helpFile, const std::string& anchor) {
  std::error_code ec;
  if (helpFile.empty() || !std::filesystem::is_regular_file(helpFile, ec)) {
    std::string expected =
        helpFile.empty() ? AppSession().GetHelpDirectory() + "/velloq.html" : helpFile;
    AppSession().messages.ShowInfoMessage(
        AppSession().messages.ResFormat(kResHelpMissing, {expected}));
    return;
  }
  if (!g_help_window) g_help_window = CreateHelpWindow();
  QUrl url = QUrl::fromLocalFile(Q(helpFile));
  url.setFragment(Q(anchor));
  QTextBrowser* browser = BrowserOf(g_help_window);
  browser->setSource(url);
  browser->scrollToAnchor(url.fragment());
  g_help_window->show();
  g_help_window->raise();
  g_help_window->activateWindow();
}

void CloseHelp() {
  if (g_help_window) delete g_help_window.data();
}

QTextBrowser* OpenHelpBrowser() { return g_help_window ? BrowserOf(g_help_window) : nullptr; }

}  // namespace vl
