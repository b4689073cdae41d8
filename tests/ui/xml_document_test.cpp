#include <gtest/gtest.h>

#include <string>

#include "support/LocaleScope.h"
#include "ui/framework/XmlDocument.h"

using SkinUI::CXmlDocument;
using SkinUI::CXmlNode;

namespace {


struct FailureCase {
  const wchar_t* text;
  const wchar_t* message;
  const wchar_t* context;
};

// Every parse error with the document text it reports as context.
const FailureCase kFailures[] = {
    {L"text", L"Expected start tag", L"text"},
    {L"<a>text<b/>more</a>", L"Expected start tag", L"more</a>"},
    {L"<a><b><c/>", L"Expected start tag", L""},
    {L"<abc", L"Error parsing element name", L""},
    {L"<a/x>", L"Expected start-tag closing", L"/x>"},
    {L"<a x=\"1\" ?>", L"Error while parsing attributes", L"?>"},
    {L"<a><b><c>text", L"Expected end-tag start", L""},
    {L"<a></ab>", L"Unmatched closing tag", L">"},
    {L"<a></b>", L"Unmatched closing tag", L"b>"},
    {L"<a></a x>", L"Unmatched closing tag", L">"},
    {L"<a></a", L"Unmatched closing tag", L""},
    {L"<a x/>", L"Error while parsing attributes", L"/>"},
    {L"<my-tag/>", L"Error while parsing attributes", L"/>"},
    {L"<a x='1'/>", L"Expected attribute value", L"1'/>"},
    {L"<a x=", L"Expected attribute value", L""},
    {L"<a x=\"1", L"Error while parsing attribute string", L""},
};

TEST(XmlDocument, ReportsEachErrorWithItsContext) {
  for (const auto& c : kFailures) {
    SCOPED_TRACE(testing::Message() << "text: " << std::wstring(c.text).c_str());
    CXmlDocument doc;
    EXPECT_FALSE(doc.ParseText(c.text));
    EXPECT_STREQ(doc.ErrorMessage(), c.message);
    EXPECT_STREQ(doc.ErrorContext(), c.context);
    EXPECT_FALSE(doc.RootElement().IsValid());
  }
}

TEST(XmlDocument, ContextIsCutAtFortyNineCharacters) {
  std::wstring text = L"<a>x<b/>" + std::wstring(80, L'y') + L"</a>";
  CXmlDocument doc;
  ASSERT_FALSE(doc.ParseText(text.c_str()));
  EXPECT_EQ(std::wstring(doc.ErrorContext()), std::wstring(49, L'y'));
}

struct SuccessCase {
  const wchar_t* text;
  const wchar_t* rootName;
  int attributes;
};

const SuccessCase kAccepted[] = {
    {L"<a/>", L"a", 0},
    {L"<a />", L"a", 0},
    {L"<a x=\"1\"/>", L"a", 1},
    {L"<a x = \"1\"  y=\"2\" ></ a >", L"a", 2},
    {L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a><!-- c --><b/></a>", L"a", 0},
    {L"<!-- x -> <a/>", L"a", 0},  // a comment ends at the first "->"
    {L"<Window size=\"1\"><Font name=\"x\"/>", L"Window", 1},
    {L"<Fenêtre taille=\"1\"/>", L"Fenêtre", 1},
};

TEST(XmlDocument, AcceptsTheSupportedForms) {
  LocaleScope locale("C.UTF-8");  // the entry point selects the user's locale
  for (const auto& c : kAccepted) {
    SCOPED_TRACE(testing::Message() << "text: " << std::wstring(c.text).c_str());
    CXmlDocument doc;
    ASSERT_TRUE(doc.ParseText(c.text)) << doc.ErrorMessage();
    EXPECT_STREQ(doc.ErrorMessage(), L"");
    CXmlNode root = doc.RootElement();
    ASSERT_TRUE(root.IsValid());
    EXPECT_STREQ(root.ElementName(), c.rootName);
    EXPECT_EQ(root.AttributeCount(), c.attributes);
  }
}

TEST(XmlDocument, DocumentsWithoutElementsHaveNoRoot) {
  for (const wchar_t* text : {L"", L"  \r\n\t", L"<?xml version=\"1.0\"?>", L"<!-- only -->"}) {
    CXmlDocument doc;
    EXPECT_TRUE(doc.ParseText(text));
    EXPECT_FALSE(doc.RootElement().IsValid());
  }
}

TEST(XmlDocument, BuildsTheTreeInDocumentOrder) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<Window><Font id=\"0\"/><VLayout><Button name=\"b1\"/><Label/></VLayout><Text/></Window>"));
  CXmlNode root = doc.RootElement();
  EXPECT_FALSE(root.NextSibling().IsValid());
  CXmlNode font = root.FirstChild();
  CXmlNode layout = font.NextSibling();
  CXmlNode text = layout.NextSibling();
  EXPECT_STREQ(font.ElementName(), L"Font");
  EXPECT_FALSE(font.HasChildElements());
  EXPECT_STREQ(layout.ElementName(), L"VLayout");
  EXPECT_TRUE(layout.HasChildElements());
  EXPECT_STREQ(layout.FirstChild().ElementName(), L"Button");
  EXPECT_STREQ(layout.FirstChild().NextSibling().ElementName(), L"Label");
  EXPECT_FALSE(layout.FirstChild().NextSibling().NextSibling().IsValid());
  EXPECT_STREQ(text.ElementName(), L"Text");
  EXPECT_FALSE(text.NextSibling().IsValid());
  EXPECT_EQ(doc.ElementCount(), 7);  // six elements and the placeholder entry

  CXmlNode invalid;
  EXPECT_FALSE(invalid.FirstChild().IsValid());
  EXPECT_FALSE(invalid.HasChildElements());
  EXPECT_EQ(invalid.ElementName(), nullptr);
  EXPECT_EQ(invalid.AttributeCount(), 0);
  EXPECT_EQ(invalid.AttributeNameAt(0), nullptr);
}

TEST(XmlDocument, DecodesEntitiesAndKeepsEverythingElse) {
  const struct {
    const wchar_t* value;
    const wchar_t* decoded;
  } cases[] = {
      {L"&amp;lt;", L"&lt;"},        {L"&#65;", L"&#65;"},         {L"a &amp; b", L"a & b"},
      {L"&lt;&gt;&quot;&apos;", L"<>\"'"}, {L"&&amp;", L"&&"},     {L"x&", L"x&"},
      {L"tab\there", L"tab\there"},
  };
  for (const auto& c : cases) {
    std::wstring text = L"<a v=\"" + std::wstring(c.value) + L"\" w=\"next\"/>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.ParseText(text.c_str())) << doc.ErrorMessage();
    CXmlNode root = doc.RootElement();
    ASSERT_EQ(root.AttributeCount(), 2);
    EXPECT_STREQ(root.AttributeValueAt(0), c.decoded);
    EXPECT_STREQ(root.AttributeNameAt(1), L"w");
    EXPECT_STREQ(root.AttributeValueAt(1), L"next");
  }
}

TEST(XmlDocument, CollapsesBlanksOnlyWhenAsked) {
  for (bool preserve : {true, false}) {
    CXmlDocument doc;
    doc.SetPreserveWhitespace(preserve);
    ASSERT_TRUE(doc.ParseText(L"<a v=\"x  \t y\"/>"));
    EXPECT_STREQ(doc.RootElement().AttributeValueAt(0), preserve ? L"x  \t y" : L"x y");
  }
}

TEST(XmlDocument, ExposesAtMostSixtyFourAttributes) {
  std::wstring text = L"<a";
  for (int i = 0; i < 70; ++i) text += L" k" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CXmlDocument doc;
  ASSERT_TRUE(doc.ParseText(text.c_str()));
  CXmlNode root = doc.RootElement();
  ASSERT_EQ(root.AttributeCount(), 64);
  EXPECT_STREQ(root.AttributeNameAt(63), L"k63");
  EXPECT_STREQ(root.AttributeValueAt(63), L"63");
  EXPECT_STREQ(root.AttributeNameAt(64), L"");
  EXPECT_STREQ(root.AttributeValueAt(-1), L"");
  WCHAR buffer[CXmlNode::kValueBufferSize] = {};
  EXPECT_FALSE(root.FindAttribute(L"k65", buffer));
}

TEST(XmlDocument, FindAttributeIsCaseSensitiveAndBounded) {
  std::wstring longValue(600, L'v');
  std::wstring text = L"<a Name=\"upper\" name=\"lower\" long=\"" + longValue + L"\"/>";
  CXmlDocument doc;
  ASSERT_TRUE(doc.ParseText(text.c_str()));
  CXmlNode root = doc.RootElement();
  WCHAR buffer[CXmlNode::kValueBufferSize] = {};
  ASSERT_TRUE(root.FindAttribute(L"name", buffer));
  EXPECT_STREQ(buffer, L"lower");
  ASSERT_TRUE(root.FindAttribute(L"long", buffer));
  EXPECT_EQ(std::wstring(buffer), std::wstring(499, L'v'));
  EXPECT_FALSE(root.FindAttribute(L"NAME", buffer));
}

TEST(XmlDocument, KeepsContentBeforeTheFirstChild) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<a>text<b x=\"1\"/></a>"));
  CXmlNode b = doc.RootElement().FirstChild();
  EXPECT_STREQ(b.ElementName(), L"b");
  EXPECT_EQ(doc.RootElement().AttributeCount(), 0);
  EXPECT_EQ(b.AttributeCount(), 1);
}

TEST(XmlDocument, GrowsTheElementTableByHalfPlusFiveHundred) {
  const struct {
    int elements;
    DWORD reserved;
  } cases[] = {{1, 500}, {499, 500}, {500, 1250}, {1249, 1250}, {1250, 2375}};
  for (const auto& c : cases) {
    std::wstring text = L"<r>";
    for (int i = 1; i < c.elements; ++i) text += L"<e/>";
    text += L"</r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.ParseText(text.c_str()));
    EXPECT_EQ(doc.ElementCount(), c.elements + 1);
    EXPECT_EQ(doc.ReservedElements(), c.reserved) << c.elements;
  }
}

TEST(XmlDocument, ReparsingDiscardsThePreviousDocument) {
  CXmlDocument doc;
  ASSERT_TRUE(doc.ParseText(L"<a><b/></a>"));
  ASSERT_FALSE(doc.ParseText(L"<a x/>"));
  EXPECT_FALSE(doc.RootElement().IsValid());
  ASSERT_TRUE(doc.ParseText(L"<c/>"));
  EXPECT_STREQ(doc.RootElement().ElementName(), L"c");
  EXPECT_STREQ(doc.ErrorMessage(), L"");
  EXPECT_EQ(doc.ElementCount(), 2);
}

TEST(XmlDocument, DecodesUtf8WithOrWithoutByteOrderMark) {
  LocaleScope locale("C.UTF-8");  // the entry point selects the user's locale
  const std::string body = "<窗口 名=\"值\"/>";
  for (const std::string& bytes : {body, "\xEF\xBB\xBF" + body}) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.ParseUtf8Bytes(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())));
    CXmlNode root = doc.RootElement();
    EXPECT_STREQ(root.ElementName(), L"窗口");
    EXPECT_STREQ(root.AttributeValueAt(0), L"值");
  }
  // UTF-16 text read as UTF-8 is not a document.
  const char utf16[] = "\xFF\xFE<\0a\0/\0>\0";
  CXmlDocument doc;
  EXPECT_FALSE(doc.ParseUtf8Bytes(reinterpret_cast<const BYTE*>(utf16), sizeof(utf16) - 1));
}

}  // namespace

namespace {

// Visits every element and attribute of the document.
int WalkTree(CXmlNode node) {
  int visited = 0;
  for (; node.IsValid(); node = node.NextSibling()) {
    ++visited;
    for (int i = 0; i < node.AttributeCount(); ++i) {
      visited += static_cast<int>(std::wstring(node.AttributeNameAt(i)).size() > 0);
      (void)std::wstring(node.AttributeValueAt(i));
    }
    visited += WalkTree(node.FirstChild());
  }
  return visited;
}

// Every prefix and every single-character change of a skin either fails with a message
// or gives a tree whose names and values can all be read (the sanitizer build checks
// that no read leaves the text).
TEST(XmlDocument, DamagedDocumentsFailCleanlyOrStayWalkable) {
  const std::wstring skin =
      L"<?xml version=\"1.0\"?><!-- skin --><Window size=\"540,355\" a=\"&amp;&lt;x\">"
      L"<Font name=\"宋体\" size=\"12\" />text<VerticalLayout><Button name=\"b\" text=\"a &quot;b&quot;\"/>"
      L"<Label/></VerticalLayout></Window>";
  const wchar_t replacements[] = {L'<', L'>', L'/', L'"', L'=', L'&', L' ', L'x', L'!', L'?', L'-'};
  auto check = [](const std::wstring& text) {
    CXmlDocument doc;
    if (doc.ParseText(text.c_str())) {
      WalkTree(doc.RootElement());
    } else {
      EXPECT_STRNE(doc.ErrorMessage(), L"");
    }
  };
  for (size_t length = 0; length <= skin.size(); ++length) check(skin.substr(0, length));
  for (size_t i = 0; i < skin.size(); ++i) {
    for (wchar_t c : replacements) {
      std::wstring changed = skin;
      changed[i] = c;
      check(changed);
    }
  }
}

}  // namespace
