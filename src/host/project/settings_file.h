// The settings-file reader: INI-style files ("[Section]", "name=value",
// ";" or "#" comment lines), sections and entries in file order.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vl {

class SettingsEntry {
 public:
  SettingsEntry(std::string name, std::string value)
      : name_(std::move(name)), value_(std::move(value)) {}
  const std::string& GetName() const { return name_; }
  const std::string& GetValue() const { return value_; }

 private:
  std::string name_;
  std::string value_;
};

class SettingsSection {
 public:
  explicit SettingsSection(std::string name) : name_(std::move(name)) {}
  const std::string& GetName() const { return name_; }
  // The entries, in file order.
  const std::vector<SettingsEntry>& GetValue() const { return entries_; }
  // The value of the first entry of that name (compared without regard to
  // case), or nullptr.
  const std::string* Find(const std::string& name) const;
  void AddEntry(std::string name, std::string value) {
    entries_.emplace_back(std::move(name), std::move(value));
  }

 private:
  std::string name_;
  std::vector<SettingsEntry> entries_;
};

class SettingsFile {
 public:
  // nullptr when the file does not exist or cannot be read.
  static std::unique_ptr<SettingsFile> OpenSettingsFile(const std::string& path);
  static std::unique_ptr<SettingsFile> Parse(const std::string& text);

  // The section of that name (compared without regard to case), or nullptr.
  const SettingsSection* GetSection(const std::string& name) const;
  const std::vector<SettingsSection>& sections() const { return sections_; }

 private:
  std::vector<SettingsSection> sections_;
};

}  // namespace vl
