#include "copy/guid_map_file.h"

#include "copy/db_conventions.h"
#include "errors/vl_error.h"
#include "host/xml/xml_file.h"

namespace vl {

pugi::xml_node StartGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                                    const std::string& newProjectGuid) {
  doc.reset();
  AddXmlDeclaration(doc);
  pugi::xml_node root = doc.append_child("PROJECT");
  root.append_attribute("GUID") = baselineGuid.c_str();
  root.append_attribute("NEWGUID") = newProjectGuid.c_str();
  return root;
}

bool AppendGUIDMapEntry(pugi::xml_node root, const std::string& oldGuid,
                        const std::string& newGuid) {
  if (newGuid.empty()) return false;
  pugi::xml_node entry = root.append_child("GUID");
  entry.append_attribute("OLDGUID") = oldGuid.c_str();
  entry.append_attribute("NEWGUID") = newGuid.c_str();
  return true;
}

void BuildGUIDMapDocument(pugi::xml_document& doc, const std::string& baselineGuid,
                          const std::string& newProjectGuid, const OrderedMap<std::string>& table) {
  pugi::xml_node root = StartGUIDMapDocument(doc, baselineGuid, newProjectGuid);
  ForEachTranslation(table, [&](const std::string& oldGuid, const std::string& newGuid) {
    AppendGUIDMapEntry(root, oldGuid, newGuid);
  });
}

namespace {

// Collects small pieces of text and hands them on in large ones.
class BufferedWriter : public pugi::xml_writer {
 public:
  explicit BufferedWriter(pugi::xml_writer& target) : target_(target) {}
  ~BufferedWriter() override { Flush(); }
  void write(const void* data, size_t size) override {
    buffer_.append(static_cast<const char*>(data), size);
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) target_.write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr size_t kFlushSize = 1 << 16;
  pugi::xml_writer& target_;
  std::string buffer_;
};

// Pairs written from one small document before it starts afresh, so that
// the texts it has held do not pile up.
constexpr int kPairsPerDocument = 1000;

}  // namespace

// The map of a large baseline would take tens of megabytes as a document,
// at the very end of the run when everything else is still held: the
// pairs are written one after the other instead, each exactly as the
// whole document would write it.
void WriteGUIDMapFile(const std::string& path, const std::string& baselineGuid,
                      const std::string& newProjectGuid, const OrderedMap<std::string>& table) {
  pugi::xml_document frame;
  pugi::xml_node root = StartGUIDMapDocument(frame, baselineGuid, newProjectGuid);
  bool any = false;
  ForEachTranslation(table, [&](const std::string&, const std::string&) { any = true; });
  if (!any) {
    SaveXmlFile(frame, path);
    return;
  }
  // The text around the pairs: the frame with one pair that stands for all.
  AppendGUIDMapEntry(root, "", "-");
  const std::string text = XmlDocumentText(frame);
  pugi::xml_document placeholder;
  placeholder.append_copy(root.first_child());
  const std::string pair = XmlDocumentText(placeholder);
  const size_t at = text.find("\t" + pair);
  if (at == std::string::npos)
    throw VlError(err::kInvalidProcedureCall, "WriteGUIDMapFile",
                  "The GUID map frame has no place for pairs");
  SaveXmlText(path, [&](pugi::xml_writer& file) {
    BufferedWriter out(file);
    out.write(text.data(), at);
    pugi::xml_document one;
    int written = kPairsPerDocument;
    ForEachTranslation(table, [&](const std::string& oldGuid, const std::string& newGuid) {
      if (written++ == kPairsPerDocument) {
        one.reset();
        written = 1;
      }
      one.remove_children();
      AppendGUIDMapEntry(one, oldGuid, newGuid);
      WriteXmlNode(out, one.first_child(), 1);
    });
    const size_t after = at + 1 + pair.size();
    out.write(text.data() + after, text.size() - after);
  });
}

}  // namespace vl
