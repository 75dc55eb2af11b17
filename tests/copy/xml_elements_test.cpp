// Finding the elements of baseline files: the walk every copier uses for
// elements at any depth, and the required elements and attributes whose
// absence stops a copier.
#include "copy/xml_elements.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "errors/vl_error.h"

namespace vl {
namespace {

// The "id" attributes of `nodes`, in order.
std::vector<std::string> Ids(const std::vector<pugi::xml_node>& nodes) {
  std::vector<std::string> ids;
  for (const pugi::xml_node& n : nodes) ids.push_back(n.attribute("id").value());
  return ids;
}

pugi::xml_node Parse(pugi::xml_document& doc, const char* xml) {
  EXPECT_TRUE(doc.load_string(
      xml, pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi));
  return doc.document_element();
}

TEST(DescendantsNamedTest, EveryDepthInDocumentOrderButNeverTheParentItself) {
  pugi::xml_document doc;
  pugi::xml_node root = Parse(doc, R"(<Req id="root">
      <Req id="1"><Other><Req id="1.1"><Req id="1.1.1"/></Req></Other></Req>
      <!-- <Req id="comment"/> -->
      <?Req id="pi"?>
      <Req id="2">text<Req id="2.1"/></Req>
    </Req>)");
  EXPECT_EQ(Ids(DescendantsNamed(root, "Req")),
            (std::vector<std::string>{"1", "1.1", "1.1.1", "2", "2.1"}));
  EXPECT_EQ(Ids(DescendantsNamed(root.child("Req"), "Req")),
            (std::vector<std::string>{"1.1", "1.1.1"}));
  // The walk stops at the end of the subtree: the later sibling "2" and
  // what lies below it are not part of "1".
  EXPECT_EQ(Ids(DescendantsNamed(root.child("Req").child("Other"), "Req")),
            (std::vector<std::string>{"1.1", "1.1.1"}));
  // Two names by one walk: each list as a walk of its own gives it.
  const auto [reqs, others] = DescendantsNamed(root, "Req", "Other");
  EXPECT_EQ(reqs, DescendantsNamed(root, "Req"));
  EXPECT_EQ(others, DescendantsNamed(root, "Other"));
  // Names are compared exactly.
  EXPECT_TRUE(DescendantsNamed(root, "req").empty());
  EXPECT_TRUE(DescendantsNamed(root.child("Req").child("Req"), "Other").empty());
}

// A package file's package element is the first that "//PROJECT/Pkg"
// names, wherever the file puts it.
TEST(FirstChildElementOfTest, FindsWhatThePathFindsFirst) {
  const struct {
    const char* xml;
    const char* expected;  // "" for none
  } cases[] = {
      {R"(<PROJECT><Pkg id="a"/><Pkg id="b"/></PROJECT>)", "a"},
      {R"(<X><Pkg id="no"/><PROJECT><Y/><Pkg id="a"/></PROJECT></X>)", "a"},
      {R"(<X><PROJECT><Y><Pkg id="deep"/></Y></PROJECT><PROJECT><Pkg id="b"/></PROJECT></X>)", "b"},
      {R"(<PROJECT><!-- <Pkg id="c"/> --><project><Pkg id="case"/></project></PROJECT>)", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    pugi::xml_document doc;
    Parse(doc, c.xml);
    EXPECT_EQ(FirstChildElementOf(doc, "PROJECT", "Pkg").attribute("id").value(),
              std::string(c.expected));
    EXPECT_EQ(FirstChildElementOf(doc, "PROJECT", "Pkg"), doc.select_node("//PROJECT/Pkg").node());
  }
}

// The error a call raises; number 0 when it raises none.
template <typename F>
VlError ErrorOf(F&& call) {
  try {
    call();
  } catch (const VlError& e) {
    return e;
  }
  return VlError(0, "", "");
}

TEST(RequiredValuesTest, WhatIsMissingOrUnreadableStopsTheCopierWithItsOwnError) {
  pugi::xml_document doc;
  pugi::xml_node group = Parse(doc, R"(<Group Rights="seven"><rights/></Group>)");

  VlError attr = ErrorOf([&] { RequiredAttr(group, "ID"); });
  EXPECT_EQ(attr.number(), err::kInvalidUseOfNull);
  EXPECT_EQ(attr.source(), "getAttribute");
  EXPECT_EQ(attr.description(), "Invalid use of Null: attribute \"ID\" of \"Group\" is missing");
  EXPECT_EQ(ErrorOf([&] { RequiredLong(group, "ID"); }).number(), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { RequiredBool(group, "ID"); }).number(), err::kInvalidUseOfNull);
  EXPECT_EQ(ErrorOf([&] { RequiredLong(group, "Rights"); }).number(), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { RequiredBool(group, "Rights"); }).number(), err::kTypeMismatch);

  // Element names are compared exactly: "rights" is not "Rights".
  VlError element = ErrorOf([&] { RequiredElement(group, "Rights"); });
  EXPECT_EQ(element.number(), err::kObjectVariableNotSet);
  EXPECT_EQ(element.source(), "selectSingleNode");
  EXPECT_EQ(element.description(),
            "Object variable not set: element \"Rights\" of \"Group\" is missing");
}

}  // namespace
}  // namespace vl
