// Writer of the results file. The file is replaced atomically, so a run stopped while
// writing still leaves the previous complete file.

#include <libxml/tree.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlsave.h>

#include <cstdio>

#include "common/error.h"

#include "results/atomic_file.h"
#include "results/results_xml.h"
#include "results/xml_handles.h"

namespace slidetrack {

namespace {

const xmlChar* xmlName(const char* name) { return reinterpret_cast<const xmlChar*>(name); }

std::string formatted(const char* format, double value) {
  int size = std::snprintf(nullptr, 0, format, value);
  std::string text(size > 0 ? size : 0, '\0');
  std::snprintf(text.data(), text.size() + 1, format, value);
  return text;
}

std::string formatted(int value) { return std::to_string(value); }

bool setAttribute(xmlNode* node, const char* name, const std::string& value) {
  return xmlNewProp(node, xmlName(name), xmlName(value.c_str())) != nullptr;
}

bool addSource(xmlNode* sources, const char* name, const std::optional<std::string>& src) {
  if (!src) return true;
  xmlNode* node = xmlNewChild(sources, nullptr, xmlName(name), nullptr);
  return node && setAttribute(node, "src", *src);
}

bool addSlide(xmlNode* slides, const SlideRecord& record) {
  xmlNode* node = xmlNewChild(slides, nullptr, xmlName("slide"), nullptr);
  if (!node) return false;
  bool ok = setAttribute(node, "id", formatted(record.id)) &&
            setAttribute(node, "start", formatted(record.start)) &&
            setAttribute(node, "end", formatted(record.end)) &&
            setAttribute(node, "confidence", formatted("%f", record.confidence));
  if (ok && record.src) ok = setAttribute(node, "src", *record.src);
  if (ok && record.match) {
    ok = setAttribute(node, "match_id", formatted(record.match->id));
    if (ok && record.match->src) ok = setAttribute(node, "match_src", *record.match->src);
  }
  return ok;
}

// Fills the document; false when libxml2 could not make a node.
bool buildTree(xmlDoc* doc, xmlNode* root, const SlideList& list) {
  xmlDocSetRootElement(doc, root);
  xmlNode* sources = xmlNewChild(root, nullptr, xmlName("sources"), nullptr);
  if (!sources || !addSource(sources, "video", list.videoSrc) ||
      !addSource(sources, "originals", list.originalsSrc))
    return false;
  xmlNode* slides = xmlNewChild(root, nullptr, xmlName("slides"), nullptr);
  if (!slides) return false;
  for (const SlideRecord& record : list.slides)
    if (!addSlide(slides, record)) return false;
  return true;
}

bool writeDocument(xmlDoc* doc, int fd) {
  QuietXmlErrors quiet;  // a failed write is reported once, by the caller
  xmlOutputBuffer* out = xmlOutputBufferCreateFd(fd, nullptr);  // leaves fd open
  // Closes out; negative when any write failed.
  return out && xmlSaveFormatFileTo(out, doc, nullptr, 1) >= 0;
}

}  // namespace

void slidesSaveToXml(const SlideList& list, const std::string& path) {
  XmlDocPtr doc(xmlNewDoc(xmlName("1.0")));
  xmlNode* root = doc ? xmlNewDocNode(doc.get(), nullptr, xmlName("data"), nullptr) : nullptr;
  if (!root || !buildTree(doc.get(), root, list))
    throw Error(Error::Kind::kResources,
                "Cannot save the results file '" + path + "': out of memory.");
  replaceFileAtomically(path, "the results file",
                        [&](int fd) { return writeDocument(doc.get(), fd); });
}

}  // namespace slidetrack
