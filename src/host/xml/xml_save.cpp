// Saving XML files so that a reader never sees half a file: the document is
// written beside its destination and then renamed over it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "errors/vl_error.h"
#include "host/xml/xml_file.h"

namespace vl {

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Hands the saved text to the file piece by piece as the document is
// written out: a large document (the GUID maps of a big baseline) is never
// held a second time as text.
class FileWriter : public pugi::xml_writer {
 public:
  explicit FileWriter(int fd) : fd_(fd) {}
  void write(const void* data, size_t size) override {
    if (error_ != 0) return;
    if (!WriteAll(fd_, static_cast<const char*>(data), size)) error_ = errno != 0 ? errno : EIO;
  }
  // 0 when everything was written, else the error number.
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
};

[[noreturn]] void ThrowSaveError(const std::string& path, int errorNumber) {
  long number = errorNumber == ENOENT || errorNumber == ENOTDIR ? err::kPathNotFound
                : errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS
                    ? err::kPermissionDenied
                    : err::kUnspecified;
  throw VlError(number, "SaveXmlFile",
                "Cannot write the file " + path + ": " + std::strerror(errorNumber));
}

// The declaration of a loaded document may name the encoding it was read
// in; the file is written in UTF-8, so such a name must not be kept.
bool DeclaresOtherEncoding(const pugi::xml_document& doc) {
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_declaration) continue;
    pugi::xml_attribute enc = n.attribute("encoding");
    std::string name = enc.value();
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return enc && name != "UTF-8" && name != "UTF8";
  }
  return false;
}

// Tabs for indentation, no byte-order mark, the document's own declaration.
constexpr unsigned kSaveFlags = pugi::format_default | pugi::format_no_declaration;

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
  std::string text;
};

void SaveText(const pugi::xml_document& doc, pugi::xml_writer& writer) {
  const unsigned flags = kSaveFlags;
  if (!DeclaresOtherEncoding(doc)) {
    doc.save(writer, "\t", flags, pugi::encoding_utf8);
    return;
  }
  pugi::xml_document copy;
  copy.reset(doc);
  for (pugi::xml_node n = copy.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_declaration) n.remove_attribute("encoding");
  copy.save(writer, "\t", flags, pugi::encoding_utf8);
}

// The permissions a newly created file would get, or those of the file
// being replaced.
mode_t ModeFor(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void SaveXmlText(const std::string& path, const std::function<void(pugi::xml_writer&)>& write) {
  std::string tmp = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) ThrowSaveError(path, errno);
  bool ok = ::fchmod(fd, ModeFor(path)) == 0;
  int error = ok ? 0 : errno;
  if (ok) {
    FileWriter writer(fd);
    write(writer);
    error = writer.error();
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    ok = error == 0;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    ThrowSaveError(path, error != 0 ? error : EIO);
  }
}

void SaveXmlFile(const pugi::xml_document& doc, const std::string& path) {
  SaveXmlText(path, [&](pugi::xml_writer& writer) { SaveText(doc, writer); });
}

std::string XmlDocumentText(const pugi::xml_document& doc) {
  StringWriter writer;
  SaveText(doc, writer);
  return writer.text;
}

void WriteXmlNode(pugi::xml_writer& writer, const pugi::xml_node& node, unsigned depth) {
  node.print(writer, "\t", kSaveFlags, pugi::encoding_utf8, depth);
}

}  // namespace vl
