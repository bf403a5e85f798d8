#include "results/xml_check.h"

#include <cstring>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "results/xml_handles.h"

namespace slidetrack {

bool xmlFileHasRoot(const std::string& path, const char* root) {
  QuietXmlErrors quiet;
  XmlDocPtr doc(xmlReadFile(path.c_str(), nullptr,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return false;
  const xmlNode* top = xmlDocGetRootElement(doc.get());
  return top && std::strcmp(reinterpret_cast<const char*>(top->name), root) == 0;
}

}  // namespace slidetrack
