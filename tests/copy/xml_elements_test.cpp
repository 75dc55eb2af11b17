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
  // Names are compared exactly.
  EXPECT_TRUE(DescendantsNamed(root, "req").empty());
  EXPECT_TRUE(DescendantsNamed(root.child("Req").child("Req"), "Other").empty());
}

TEST(DescendantsNamedTest, LeavesAndNullParentsGiveNothingAndTheDocumentCountsAsAParent) {
  pugi::xml_document doc;
  pugi::xml_node root = Parse(doc, R"(<?xml version="1.0"?>
    <!-- before --><PROJECT><View id="a"/><Views><View id="b"/></Views></PROJECT><!-- after -->)");
  EXPECT_TRUE(DescendantsNamed(pugi::xml_node(), "View").empty());
  EXPECT_TRUE(DescendantsNamed(root.child("View"), "View").empty());
  EXPECT_EQ(Ids(DescendantsNamed(doc, "View")), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(DescendantsNamed(doc, "PROJECT").size(), 1u);
}

TEST(DescendantsNamedTest, TheListStaysUsableWhileTheCallerMovesWhatItFound) {
  pugi::xml_document doc, other;
  pugi::xml_node root = Parse(doc, R"(<PROJECT><QUERYDEF id="1"/><G><QUERYDEF id="2"/></G>
                                      <QUERYDEF id="3"/></PROJECT>)");
  pugi::xml_node target = other.append_child("PROJECT");
  for (pugi::xml_node q : DescendantsNamed(root, "QUERYDEF")) {
    target.append_copy(q);
    q.parent().remove_child(q);
  }
  EXPECT_TRUE(DescendantsNamed(root, "QUERYDEF").empty());
  EXPECT_EQ(Ids(DescendantsNamed(target, "QUERYDEF")), (std::vector<std::string>{"1", "2", "3"}));
}

TEST(DescendantsNamedTest, DeepNestingIsWalkedWithoutRecursion) {
  constexpr int kDepth = 200000;
  std::string xml;
  for (int i = 0; i < kDepth; ++i) xml += "<Pkg>";
  xml += "<Req id=\"deep\"/>";
  for (int i = 0; i < kDepth; ++i) xml += "</Pkg>";
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str()));
  EXPECT_EQ(Ids(DescendantsNamed(doc, "Req")), std::vector<std::string>{"deep"});
  EXPECT_EQ(DescendantsNamed(doc.document_element(), "Pkg").size(), kDepth - 1u);
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

TEST(RequiredValuesTest, PresentValuesAreReadAndConverted) {
  pugi::xml_document doc;
  pugi::xml_node group =
      Parse(doc, R"(<Group NAME="" Rights=" 7.5 " Active="True" Off="0"><Rights/></Group>)");
  EXPECT_EQ(RequiredAttr(group, "NAME"), "");  // an empty value is a value
  EXPECT_EQ(RequiredLong(group, "Rights"), 8);
  EXPECT_TRUE(RequiredBool(group, "Active"));
  EXPECT_FALSE(RequiredBool(group, "Off"));
  EXPECT_EQ(RequiredElement(group, "Rights"), group.child("Rights"));
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
