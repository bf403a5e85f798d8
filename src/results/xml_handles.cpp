#include "results/xml_handles.h"

#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>

namespace slidetrack {

void XmlDocDeleter::operator()(_xmlDoc* doc) const { xmlFreeDoc(doc); }

void XmlTextDeleter::operator()(unsigned char* text) const { xmlFree(text); }

XmlTextPtr attributeValue(_xmlNode* node, const char* name) {
  return XmlTextPtr(xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)));
}

namespace {
void ignoreXmlError(void*, const char*, ...) {}
}  // namespace

QuietXmlErrors::QuietXmlErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
  xmlSetGenericErrorFunc(nullptr, ignoreXmlError);
}

QuietXmlErrors::~QuietXmlErrors() { xmlSetGenericErrorFunc(context_, handler_); }

}  // namespace slidetrack
