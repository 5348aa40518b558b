#include "platform/wmf/asf_tag_attributes.h"

#include <taglib/asfattribute.h>

#include <vector>

namespace platform::wmf {

namespace {

struct DescriptionField {
  const char16_t* name;
  TagLib::String (TagLib::ASF::Tag::*get)() const;
  void (TagLib::ASF::Tag::*set)(const TagLib::String&);
};

const DescriptionField kDescription[] = {
    {u"Title", &TagLib::ASF::Tag::title, &TagLib::ASF::Tag::setTitle},
    {u"Author", &TagLib::ASF::Tag::artist, &TagLib::ASF::Tag::setArtist},
    {u"Copyright", &TagLib::ASF::Tag::copyright, &TagLib::ASF::Tag::setCopyright},
    {u"Description", &TagLib::ASF::Tag::comment, &TagLib::ASF::Tag::setComment},
    {u"Rating", &TagLib::ASF::Tag::rating, &TagLib::ASF::Tag::setRating},
};

std::u16string ToWide(const TagLib::String& s) {
  const TagLib::ByteVector bytes = s.data(TagLib::String::UTF16LE);
  std::u16string wide(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return wide;
}

TagLib::String FromWide(const std::u16string& wide) {
  TagLib::ByteVector bytes(static_cast<unsigned int>(wide.size() * 2), '\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
  }
  return TagLib::String(bytes, TagLib::String::UTF16LE);
}

std::vector<BYTE> Raw(const TagLib::ByteVector& v) {
  return std::vector<BYTE>(reinterpret_cast<const BYTE*>(v.data()),
                           reinterpret_cast<const BYTE*>(v.data()) + v.size());
}

void AddAttribute(const std::u16string& name, const TagLib::ASF::Attribute& a,
                  AttributeList* list) {
  using A = TagLib::ASF::Attribute;
  switch (a.type()) {
    case A::UnicodeType: list->AddString(name, ToWide(a.toString())); break;
    case A::BytesType: list->Add(name, WMT_TYPE_BINARY, Raw(a.toByteVector())); break;
    case A::BoolType: list->AddNumber(name, WMT_TYPE_BOOL, a.toBool() ? 1 : 0, 4); break;
    case A::DWordType: list->AddNumber(name, WMT_TYPE_DWORD, a.toUInt(), 4); break;
    case A::QWordType: list->AddNumber(name, WMT_TYPE_QWORD, a.toULongLong(), 8); break;
    case A::WordType: list->AddNumber(name, WMT_TYPE_WORD, a.toUShort(), 2); break;
    case A::GuidType: list->Add(name, WMT_TYPE_GUID, Raw(a.toByteVector())); break;
  }
}

}  // namespace

void AsfTagAttributes::List(const TagLib::ASF::Tag& tag, bool hasContentDescription,
                            AttributeList* list) {
  if (hasContentDescription) {
    for (const DescriptionField& field : kDescription) {
      list->AddString(field.name, ToWide((tag.*field.get)()));
    }
  }
  // attributeListMap() is not const in TagLib, although it only hands out the map.
  auto& map = const_cast<TagLib::ASF::Tag&>(tag).attributeListMap();
  for (const auto& [key, values] : map) {
    const std::u16string name = ToWide(key);
    for (const TagLib::ASF::Attribute& value : values) {
      if (value.stream() == 0) AddAttribute(name, value, list);
    }
  }
}

bool AsfTagAttributes::StoreString(TagLib::ASF::Tag* tag, const std::u16string& name,
                                   const std::u16string& text) {
  for (const DescriptionField& field : kDescription) {
    if (name == field.name) {
      (tag->*field.set)(FromWide(text));
      return true;
    }
  }
  tag->setAttribute(FromWide(name), TagLib::ASF::Attribute(FromWide(text)));
  return false;
}

}  // namespace platform::wmf
