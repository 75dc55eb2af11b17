// The wizard window on Qt's offscreen platform, with the global objects
// made as the program makes them, messages recorded instead of shown, the
// dialogs replaced by answers the test gives, and an installation of its
// own (settings files, drivers list) in scratch folders.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/mod_wizard.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"
#include "ui/frm_wizard.h"
#include "ui/ui_session.h"
#include "ui/wizard_main.h"
#include "ui/wizard_message_sink.h"

namespace vl {

// One QApplication for the whole test program, on the offscreen platform.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// A fixture's first member when later members are widgets: the application
// must exist before any widget.
struct QtApplicationFirst {
  QtApplicationFirst() { TestApplication(); }
};

using testing::ScopedEnv;

// A scratch folder whose path composes with `/`.
class ScratchDir : public testing::ScratchFolder {
 public:
  std::filesystem::path path() const { return testing::ScratchFolder::path(); }
};

// Records the boxes the wizard would show and answers its questions;
// everything else (results lines, the run's own display) as the wizard's
// own sink does.
class RecordingWizardSink : public WizardMessageSink {
 public:
  void AddResultsLine(const std::string& line) override {
    WizardMessageSink::AddResultsLine(line);
    if (on_results_line) on_results_line(line);
  }
  std::string AllInfos() const {
    std::string all;
    for (const auto& m : infos) all += m + "\n";
    return all;
  }

  std::vector<std::string> infos, questions;
  std::vector<QMessageBox::Icon> icons;
  std::function<void(const std::string&)> on_results_line;
  int answer = vbYes;

 protected:
  void ShowBox(QMessageBox::Icon icon, const std::string&, const std::string& text) override {
    infos.push_back(text);
    icons.push_back(icon);
  }
  int AskBox(const std::string&, const std::string& text, QMessageBox::StandardButtons,
             QMessageBox::StandardButton) override {
    questions.push_back(text);
    return answer == vbYes ? QMessageBox::Yes : QMessageBox::No;
  }
};

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApplication();
    ResetUiGlobals();
    StartSession(&sink_);
    ASSERT_TRUE(AppSession().CreateGlobalObjects());
    WizardDialogs dialogs;
    dialogs.browse_for_folder = [this](QWidget*, const std::string& prompt,
                                       const std::string& start) {
      folder_prompts_.push_back(prompt);
      folder_starts_.push_back(start);
      std::string answer = folder_answers_.empty() ? "" : folder_answers_.front();
      if (!folder_answers_.empty()) folder_answers_.pop_front();
      return answer;
    };
    dialogs.browse_for_project_file = [this](QWidget*, std::string& path) {
      if (file_answers_.empty() || !file_answers_.front()) {
        if (!file_answers_.empty()) file_answers_.pop_front();
        return false;
      }
      path = *file_answers_.front();
      file_answers_.pop_front();
      return true;
    };
    dialogs.configure_database = [this](QWidget*, NewProjectDefinition& d) {
      configured_types_.push_back(d.GetDBType());
      configured_drivers_.push_back(d.GetConnection().GetDriver());
    };
    dialogs.ask_without_waiting = [this](QWidget*, const std::string& question,
                                         std::function<void(bool)> answered) -> QWidget* {
      sink_.questions.push_back(question);
      answered(sink_.answer == vbYes);
      return nullptr;
    };
    form_ = std::make_unique<frmWizard>(dialogs);
    gfrmWizard = form_.get();
    ASSERT_TRUE(AppSession().InitGlobalObjects(VL_BINARY_DIR, [] { gfrmWizard->init(); }))
        << sink_.AllInfos();
  }
  void TearDown() override {
    form_.reset();
    ResetUiGlobals();
  }

  static std::string SampleBaseline() {
    return std::string(VL_SOURCE_DIR) + "/examples/sample-baseline";
  }
  // A copy of the sample baseline that a test may change.
  std::string CopyOfSample(const std::string& name = "baseline") {
    auto copy = scratch_.path() / name;
    std::filesystem::copy(SampleBaseline(), copy, std::filesystem::copy_options::recursive);
    return copy.string();
  }

  // The window's buttons.
  static constexpr int kHelp = QWizard::HelpButton, kBack = QWizard::BackButton,
                       kNext = QWizard::NextButton, kFinish = QWizard::FinishButton,
                       kCancel = QWizard::CancelButton;
  QAbstractButton* Nav(int which) { return form_->button(QWizard::WizardButton(which)); }
  bool Shown(int which) { return Nav(which)->isVisibleTo(form_.get()); }
  bool Enabled(int which) { return Shown(which) && Nav(which)->isEnabled(); }
  void Click(int which) { Nav(which)->click(); }
  // A control of the window by its name.
  template <typename W = QWidget>
  W* Find(const char* name) {
    W* found = form_->findChild<W*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }

  // Step 0 with `baseline` chosen through the browse button.
  void ChooseBaseline(const std::string& baseline) {
    folder_answers_.push_back(baseline);
    Find<QPushButton>("cmdBLBrowse")->click();
  }
  // Steps 0 and 1 done: the baseline chosen and the project placed in
  // `folderName` under the scratch folder; the window shows step 2.
  void ReachOptionsStep(const std::string& baseline, const std::string& folderName) {
    ChooseBaseline(baseline);
    ASSERT_TRUE(Enabled(kNext)) << sink_.AllInfos();
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 1);
    Box("txtProjLoc")->setText(QString::fromStdString((scratch_.path() / folderName).string()));
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 2) << sink_.AllInfos();
  }

  // Scratch settings, so that no settings of the machine take part.
  ScratchDir settings_, user_settings_, scratch_;
  ScopedEnv config_dirs_{"XDG_CONFIG_DIRS", settings_.path().string()};
  ScopedEnv config_home_{"XDG_CONFIG_HOME", user_settings_.path().string()};
  RecordingWizardSink sink_;
  std::unique_ptr<frmWizard> form_;
  std::deque<std::string> folder_answers_;
  std::vector<std::string> folder_prompts_, folder_starts_;
  std::deque<std::optional<std::string>> file_answers_;
  std::vector<std::string> configured_types_, configured_drivers_;
};

}  // namespace vl
