#include "foundation/kel_exception.h"

#include <utility>

namespace {

// The category of a text is that of the first entry (in this order) whose phrase it contains.
// The order matters where phrases overlap: "Non-finite data" before the generic checks, the
// file texts before the dimension text a file message never holds.
struct CategoryPhrase {
  const char* phrase;
  KelErrorCategory category;
};

constexpr CategoryPhrase kCategoryPhrases[] = {
    {"Non-finite data", KelErrorCategory::NonFiniteData},
    {"No room in heap", KelErrorCategory::OutOfMemory},
    {"Can't open FILE", KelErrorCategory::FileOpen},
    {"Can't read FILE", KelErrorCategory::FileRead},
    {"Can't write FILE", KelErrorCategory::FileWrite},
    {"Can't close FILE", KelErrorCategory::FileClose},
    {"Index out of range", KelErrorCategory::Index},
    {"Dimension check failure", KelErrorCategory::Dimension},
    {"Wrong number of", KelErrorCategory::Dimension},
    {"m < n", KelErrorCategory::Dimension},
    {"m<n", KelErrorCategory::Dimension},
    {"rows < columns", KelErrorCategory::Dimension},
    {"rows > columns", KelErrorCategory::Dimension},
    {"not implemented", KelErrorCategory::NotImplemented},
    {"KelMatrix Destroyed", KelErrorCategory::NotFactorized},
    {"singular", KelErrorCategory::Singular},
    {"not definite positive", KelErrorCategory::Singular},
    {"ssm == 0.", KelErrorCategory::Singular},
    {"sst == 0.", KelErrorCategory::Singular},
    {"Division with 0.", KelErrorCategory::Domain},
    {"Invalid argument", KelErrorCategory::Domain},
    {"Bad ", KelErrorCategory::Domain},
    {"must be positive", KelErrorCategory::Domain},
    {"requires positive argument", KelErrorCategory::Domain},
    {"requires k <= n", KelErrorCategory::Domain},
    {"less then 0", KelErrorCategory::Domain},
    {"x == 0. and n <= 0", KelErrorCategory::Domain},
    {"must be greater than 0", KelErrorCategory::Domain},
    {"Variances null", KelErrorCategory::Domain},
};

// The class text is the first line when that line names a class ("KelVector class",
// "class KelVectorInt", "KelLoad class" followed directly by the message).
std::string classTextOf(const std::string& text) {
  const std::string firstLine = text.substr(0, text.find('\n'));
  if (firstLine.rfind("class ", 0) == 0) return firstLine;
  const std::string::size_type at = firstLine.find(" class");
  if (firstLine.rfind("Kel", 0) == 0 && at != std::string::npos) return firstLine.substr(0, at + 6);
  return "";
}

}  // namespace

KelException::KelException(const std::string& text, KelErrorCategory category,
                           std::string classText)
    : std::runtime_error(text), category(category), classText(std::move(classText)) {}

KelErrorCategory KelClassifyError(const std::string& text) {
  for (const CategoryPhrase& entry : kCategoryPhrases)
    if (text.find(entry.phrase) != std::string::npos) return entry.category;
  return KelErrorCategory::Other;
}

const char* KelErrorCategoryName(KelErrorCategory category) {
  switch (category) {
    case KelErrorCategory::Dimension:
      return "dimension";
    case KelErrorCategory::Index:
      return "index";
    case KelErrorCategory::Singular:
      return "singular";
    case KelErrorCategory::NotFactorized:
      return "not factorized";
    case KelErrorCategory::FileOpen:
      return "file open";
    case KelErrorCategory::FileRead:
      return "file read";
    case KelErrorCategory::FileWrite:
      return "file write";
    case KelErrorCategory::FileClose:
      return "file close";
    case KelErrorCategory::NonFiniteData:
      return "non-finite data";
    case KelErrorCategory::OutOfMemory:
      return "out of memory";
    case KelErrorCategory::NotImplemented:
      return "not implemented";
    case KelErrorCategory::Domain:
      return "domain";
    case KelErrorCategory::Other:
      break;
  }
  return "other";
}

KelException KelMakeException(const std::string& text) {
  return KelException(text, KelClassifyError(text), classTextOf(text));
}
