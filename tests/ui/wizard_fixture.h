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
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  static char name[] = "test_ui", *argv[] = {name, nullptr};
  static QApplication* app =
      (setenv("QT_QPA_PLATFORM", "offscreen", 1), new QApplication(argc, argv));
  return *app;
}

// A fixture's first member when later members are widgets.
struct QtApplicationFirst {
  QtApplicationFirst() { TestApplication(); }
};

using testing::ScopedEnv;

class ScratchDir : public testing::ScratchFolder {
 public:
  std::filesystem::path path() const { return testing::ScratchFolder::path(); }
};

// Records the boxes the wizard would show and answers its questions.
class RecordingWizardSink : public WizardMessageSink {
 public:
  void AddResultsLine(const std::string& line) override {
    WizardMessageSink::AddResultsLine(line);
    if (on_results_line) on_results_line(line);
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
    dialogs.browse_for_folder = [this](QWidget*, const std::string&, const std::string& start) {
      folder_starts_.push_back(start);
      return Take(folder_answers_);
    };
    dialogs.browse_for_project_file = [this](QWidget*, std::string& path) {
      auto answer = Take(file_answers_);
      if (answer) path = *answer;
      return answer.has_value();
    };
    dialogs.configure_database = [this](QWidget*, NewProjectDefinition& d) {
      configured_.push_back(d.GetDBType() + "/" + d.GetConnection().GetDriver());
    };
    dialogs.ask_without_waiting = [this](QWidget*, const std::string& question,
                                         std::function<void(bool)> answered) -> QWidget* {
      sink_.questions.push_back(question);
      answered(sink_.answer == vbYes);
      return nullptr;
    };
    form_ = std::make_unique<frmWizard>(dialogs);
    gfrmWizard = form_.get();
    ASSERT_TRUE(AppSession().InitGlobalObjects(VL_BINARY_DIR, [] { gfrmWizard->init(); }));
  }
  void TearDown() override {
    form_.reset();
    ResetUiGlobals();
  }
  template <typename T>
  static T Take(std::deque<T>& answers) {
    T first = answers.empty() ? T{} : answers.front();
    if (!answers.empty()) answers.pop_front();
    return first;
  }

  static std::string SampleBaseline() {
    return std::string(VL_SOURCE_DIR) + "/examples/sample-baseline";
  }
  // A copy of the sample baseline that a test may change; `file` replaced
  // by `content` when given.
  std::string CopyOfSample(const std::string& file = "", const std::string& content = "") {
    auto copy = scratch_.path() / "baseline";
    std::filesystem::copy(SampleBaseline(), copy, std::filesystem::copy_options::recursive);
    if (!file.empty()) std::ofstream(copy / file) << content;
    return copy.string();
  }

  static constexpr int kHelp = QWizard::HelpButton, kBack = QWizard::BackButton,
                       kNext = QWizard::NextButton, kFinish = QWizard::FinishButton,
                       kCancel = QWizard::CancelButton;
  QAbstractButton* Nav(int which) { return form_->button(QWizard::WizardButton(which)); }
  bool Shown(int which) { return Nav(which)->isVisibleTo(form_.get()); }
  bool Enabled(int which) { return Shown(which) && Nav(which)->isEnabled(); }
  void Click(int which) { Nav(which)->click(); }
  template <typename W = QWidget>
  W* Find(const char* name) {
    W* found = form_->findChild<W*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QLineEdit* Box(const char* name) { return Find<QLineEdit>(name); }
  std::string Text(const char* box) { return Box(box)->text().toStdString(); }

  void ChooseBaseline(const std::string& baseline) {
    folder_answers_.push_back(baseline);
    Find<QPushButton>("cmdBLBrowse")->click();
  }
  // Steps 0 and 1 done, the project placed in Alpha under the scratch
  // folder; the window shows step 2.
  void ReachOptionsStep(const std::string& baseline) {
    ChooseBaseline(baseline);
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 1);
    Box("txtProjLoc")->setText(QString::fromStdString((scratch_.path() / "Alpha").string()));
    Click(kNext);
    ASSERT_EQ(form_->current_step(), 2);
  }

  // Scratch settings, so that no settings of the machine take part.
  ScratchDir settings_, user_settings_, scratch_;
  ScopedEnv config_dirs_{"XDG_CONFIG_DIRS", settings_.path().string()};
  ScopedEnv config_home_{"XDG_CONFIG_HOME", user_settings_.path().string()};
  RecordingWizardSink sink_;
  std::unique_ptr<frmWizard> form_;
  std::deque<std::string> folder_answers_;
  std::vector<std::string> folder_starts_, configured_;
  std::deque<std::optional<std::string>> file_answers_;
};

}  // namespace vl
