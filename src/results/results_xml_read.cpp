// Reader of the results file format (also the file of original slides).

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "results/results_xml.h"
#include "results/xml_handles.h"

namespace slidetrack {

namespace {

bool isElement(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

xmlNode* firstChildElement(xmlNode* parent, const char* name) {
  for (xmlNode* child = parent->children; child; child = child->next)
    if (isElement(child, name)) return child;
  return nullptr;
}

std::optional<std::string> textAttribute(xmlNode* node, const char* name) {
  XmlTextPtr value = attributeValue(node, name);
  if (!value) return std::nullopt;
  return std::string(textOf(value));
}

// As atoi, but out-of-range numbers saturate instead of being undefined.
std::optional<int> intAttribute(xmlNode* node, const char* name) {
  XmlTextPtr value = attributeValue(node, name);
  if (!value) return std::nullopt;
  long number = std::strtol(textOf(value), nullptr, 10);
  if (number > INT_MAX) return INT_MAX;
  if (number < INT_MIN) return INT_MIN;
  return static_cast<int>(number);
}

double realAttribute(xmlNode* node, const char* name) {
  XmlTextPtr value = attributeValue(node, name);
  return value ? std::atof(textOf(value)) : 0.0;
}

const char* pathOrNull(const std::optional<std::string>& path) {
  return path ? path->c_str() : nullptr;
}

void readSources(xmlNode* root, std::optional<std::string>& video,
                 std::optional<std::string>& originals) {
  xmlNode* sources = firstChildElement(root, "sources");
  if (!sources) return;
  for (xmlNode* child = sources->children; child; child = child->next) {
    if (isElement(child, "video")) video = textAttribute(child, "src");
    if (isElement(child, "originals")) originals = textAttribute(child, "src");
  }
}

void readSlide(xmlNode* node, SlideList& list, int& nextId) {
  SlideRecord* previous = list.slides.empty() ? nullptr : &list.slides.back();
  std::optional<int> givenId = intAttribute(node, "id");
  int id = givenId ? *givenId : nextId++;
  int start = intAttribute(node, "start").value_or(0);
  int end = intAttribute(node, "end").value_or(0);
  double confidence = realAttribute(node, "confidence");

  // A missing start or end is closed up against the neighbouring record.
  if (start < 1 && previous && previous->end > 0 && previous->end < INT_MAX)
    start = previous->end + 1;
  if (previous && previous->end < 1 && start > 0) previous->end = start - 1;

  std::optional<std::string> src = textAttribute(node, "src");
  list.slides.push_back(slideRecordMake(id, pathOrNull(src), start, end, confidence));
  SlideRecord& record = list.slides.back();

  if (std::optional<int> matchId = intAttribute(node, "match_id")) {
    std::optional<std::string> matchSrc = textAttribute(node, "match_src");
    list.matchRecords.push_back(slideRecordMake(*matchId, pathOrNull(matchSrc), 0, 0, 0.0));
    record.match = &list.matchRecords.back();
  }
}

}  // namespace

std::unique_ptr<SlideList> slidesLoadFromXml(std::unique_ptr<SlideList> list, const char* path) {
  if (!path) return list;
  // The parser's global state is set up once and kept for the life of the process:
  // cleaning it up after every read would pull it from under any other libxml2 user.
  xmlInitParser();
  // No network, and a bad file is reported by the result only, not by libxml2's printing.
  XmlDocPtr doc;
  {
    QuietXmlErrors quiet;
    doc.reset(
        xmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  }
  if (!doc) return list;
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root) return list;

  std::optional<std::string> video, originals;
  readSources(root, video, originals);
  xmlNode* slides = firstChildElement(root, "slides");
  if (!slides) return list;
  if (!list) list = slideListCreate(pathOrNull(video), pathOrNull(originals));

  int nextId = 1000;
  for (xmlNode* child = slides->children; child; child = child->next)
    if (isElement(child, "slide")) readSlide(child, *list, nextId);
  return list;
}

}  // namespace slidetrack
