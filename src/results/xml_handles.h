#pragma once
// Owning handles for libxml2 objects. libxml2's own headers stay in the .cpp files; its
// types are only named here.

#include <memory>

struct _xmlDoc;
struct _xmlNode;

namespace slidetrack {

struct XmlDocDeleter {
  void operator()(_xmlDoc* doc) const;
};
using XmlDocPtr = std::unique_ptr<_xmlDoc, XmlDocDeleter>;

// Texts handed out by libxml2 (attribute values) go back through xmlFree.
struct XmlTextDeleter {
  void operator()(unsigned char* text) const;
};
using XmlTextPtr = std::unique_ptr<unsigned char, XmlTextDeleter>;

// The attribute's value, or null when the element has no such attribute.
XmlTextPtr attributeValue(_xmlNode* node, const char* name);

inline const char* textOf(const XmlTextPtr& text) {
  return reinterpret_cast<const char*>(text.get());
}

// While alive, libxml2's generic error printing (used for I/O failures whatever the parser
// options say) is silenced; failures are reported through results instead.
class QuietXmlErrors {
 public:
  QuietXmlErrors();
  ~QuietXmlErrors();
  QuietXmlErrors(const QuietXmlErrors&) = delete;
  QuietXmlErrors& operator=(const QuietXmlErrors&) = delete;

 private:
  void (*handler_)(void*, const char*, ...);
  void* context_;
};

}  // namespace slidetrack
