// The help window: the program's HTML help file shown at the topic of a
// context id (an anchor of the page). One window per process, opened on
// demand and closed when the run ends or the wizard unloads.
#pragma once

#include <string>

class QTextBrowser;

namespace vl {

// The context id of the wizard's help topic.
constexpr long kHelpContextWizard = 9601;
// Resource ids: the help window's title; the message for a missing help
// file (insert: the file looked for).
constexpr long kResHelpTitle = 120, kResHelpMissing = 121;

// Shows `helpFile` in the help window, scrolled to the anchor `anchor`
// (the name of a context id, or a step's topic), and brings the window to
// the front. When the file does not exist, shows message 121 instead
// (`helpFile` empty: the installation's HELP folder is named in it).
void ShowHelp(const std::string& helpFile, const std::string& anchor);

// Closes the help window; nothing when it is not open.
void CloseHelp();

// The help window's page view while the window is open, else nullptr.
QTextBrowser* OpenHelpBrowser();

}  // namespace vl
