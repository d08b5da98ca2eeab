#include "xmc/generic_conf.h"
#include "xmc/root_dir.h"

#include "platform/trc/zqtr.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* attr(const xml_item_c* item, const char* label) { return xmc_item_c::attr_text(item, label); }

std::string printed(const root_dir_c& dir) {
  utl_stream_c out;
  return dir.print(out);
}

std::vector<std::string> entries(const root_dir_c::filter_c& f) {
  std::vector<std::string> all;
  for (size_t i = 0; i < f.count(); ++i) all.push_back(f.at(i));
  return all;
}

}  // namespace

TEST(root_dir_test, a_default_root_prints_undefined_and_empty_filters) {
  root_dir_c dir;
  EXPECT_EQ(printed(dir),
            "RootDirectory \"Undefined\", UserDefined\", MatchAllKidsVolume\", ID = 0\n"
            "\tExclude FileRegExpr Filter is Empty\n"
            "\tExclude DirRegExpr Filter is Empty\n"
            "\tExclude DirPath Filter is Empty\n");
  dir.set_path("C:\\Data\\");
  dir.set_auto_created(true);
  dir.set_match_all_kids_volume(false);
  dir.set_id(7);
  dir.set_exclude(root_dir_c::FILE_FILTER, false);
  ASSERT_TRUE(dir.add_expression(root_dir_c::FILE_FILTER, "*.tmp"));
  ASSERT_TRUE(dir.add_expression(root_dir_c::FILE_FILTER, "*.bak"));
  dir.temporary_filter = new root_dir_c::filter_c(root_dir_c::DIR_FILTER);
  dir.temporary_filter->add("cache");
  EXPECT_EQ(printed(dir),
            "RootDirectory \"C:/Data\", AutoCreated\", NotMatchAllKidsVolume\", ID = 7\n"
            "\tInclude FileRegExpr Filter: {*.tmp, *.bak}\n"
            "\tExclude DirRegExpr Filter is Empty\n"
            "\tExclude DirPath Filter is Empty\n"
            "Temporary \tExclude DirRegExpr Filter: {cache}\n");
  EXPECT_EQ(dir.path_length(), 7u);
}

TEST(root_dir_test, directory_paths_are_kept_relative_to_the_root) {
  root_dir_c dir;
  zqtr_capture_c capture;
  EXPECT_FALSE(dir.add_expression(root_dir_c::PATH_FILTER, "C:/data/logs"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to add DirPath filter \"C:/data/logs\", Root Path is not set"));
  dir.set_path("C:/data");
  EXPECT_TRUE(dir.add_expression(root_dir_c::PATH_FILTER, "C:\\data\\logs\\"));
  EXPECT_FALSE(dir.add_expression(root_dir_c::PATH_FILTER, "C:/other"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to add filter \"C:/other\", doesn't fit root directory path C:/data"));
  EXPECT_FALSE(dir.add_expression(root_dir_c::PATH_FILTER, "C:/data"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to add empty relative path as filter to root directory C:/data"));
  EXPECT_FALSE(dir.add_expression(root_dir_c::PATH_FILTER, "C:/database"));  // a prefix that is no parent
  EXPECT_TRUE(dir.add_expression(root_dir_c::PATH_FILTER, "logs"));           // already there: once
  EXPECT_TRUE(dir.add_expression(root_dir_c::PATH_FILTER, "tmp/x"));
  EXPECT_EQ(entries(dir.path_filter), (std::vector<std::string>{"logs", "tmp/x"}));
  EXPECT_TRUE(dir.has_filters);

  EXPECT_TRUE(dir.remove_expression(root_dir_c::PATH_FILTER, "C:/data/tmp/x"));  // a full path removes its part
  EXPECT_FALSE(dir.remove_expression(root_dir_c::PATH_FILTER, "D:/elsewhere"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to remove filter \"D:/elsewhere\", doesn't fit root_dir_path C:/data"));
  EXPECT_FALSE(dir.remove_expression(root_dir_c::PATH_FILTER, "C:/data"));
  EXPECT_TRUE(capture.has(ZQTR_FAIL, "Unable to remove empty relative path as filter for root_dir_path C:/data"));
  EXPECT_TRUE(dir.remove_expression(root_dir_c::PATH_FILTER, "logs"));
  EXPECT_EQ(dir.path_filter.count(), 0u);
  EXPECT_FALSE(dir.has_filters);
  EXPECT_EQ(dir.update_filter_flag(), 0u);
}

TEST(root_dir_test, case_and_empty_texts) {
  root_dir_c dir;
  dir.set_path("C:/Data");
  std::string rest;
  EXPECT_TRUE(dir.relative_part("c:/data/x", rest));
  EXPECT_EQ(rest, "x");
  dir.case_sensitive = true;
  EXPECT_FALSE(dir.relative_part("c:/data/x", rest));
  EXPECT_TRUE(dir.relative_part("C:/Data//x/y", rest));
  EXPECT_EQ(rest, "x/y");
  dir.set_path("C:/");  // a root that ends with its separator
  EXPECT_TRUE(dir.relative_part("C:/x", rest));
  EXPECT_EQ(rest, "x");

  zqtr_capture_c capture;
  for (uint32_t kind : {0u, 1u, 2u}) {
    SCOPED_TRACE(kind);
    EXPECT_FALSE(dir.add_expression(kind, ""));
    EXPECT_FALSE(dir.add_expression(kind, nullptr));
  }
  EXPECT_EQ(capture.texts(), std::vector<std::string>(6, "Unable to add empty string as filter"));
  dir.set_path("");
  EXPECT_EQ(dir.path(), nullptr);
}

TEST(root_dir_test, filters_compare_and_copy) {
  root_dir_c a, b;
  a.add_expression(root_dir_c::DIR_FILTER, "obj");
  a.set_exclude(root_dir_c::DIR_FILTER, false);
  EXPECT_NE(a.dir_filter, b.dir_filter);
  b.copy_filters(root_dir_c::DIR_FILTER, a);
  EXPECT_EQ(a.dir_filter, b.dir_filter);
  EXPECT_FALSE(b.dir_filter.exclude);
  a.add_expression(root_dir_c::FILE_FILTER, "*.x");
  a.add_expression(root_dir_c::PATH_FILTER, "p");
  b.copy_filters(root_dir_c::ALL_FILTERS, a);
  EXPECT_EQ(entries(b.file_filter), std::vector<std::string>{"*.x"});
  EXPECT_EQ(entries(b.path_filter), std::vector<std::string>{"p"});
  b.dir_filter.add("more");
  EXPECT_NE(a.dir_filter, b.dir_filter);  // the count differs
}

TEST(root_dir_test, a_bound_root_keeps_its_object_in_step) {
  ASSERT_NE(generic_conf_instance, nullptr);
  std::unique_ptr<xmc_item_c> item(generic_conf_instance->new_default_object(TAG_ROOT_DIR, PRODUCT_HA, 0, false));
  ASSERT_NE(item, nullptr);
  zqtr_capture_c capture;
  xmc_root_dir_c dir(item.get());
  EXPECT_TRUE(capture.texts().empty());  // the template's RootDir reads cleanly
  EXPECT_EQ(dir.path(), nullptr);
  EXPECT_TRUE(dir.match_all_kids_volume);

  xmc_item_c* dir_path = xmc_conf_c::find_object(item.get(), "DirPath");
  ASSERT_NE(dir_path, nullptr);
  EXPECT_STREQ(attr(dir_path, "status"), "False");
  dir.set_path("D:\\share\\");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(item.get(), "Path"), "val"), "D:/share");
  dir.set_id(12);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(item.get(), "ID"), "val"), "12");
  dir.set_auto_created(true);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(item.get(), "DBdir"), "val"), "True");
  dir.set_exclude(root_dir_c::PATH_FILTER, false);
  EXPECT_STREQ(attr(xmc_conf_c::find_data(dir_path, "ExcludeFilter"), "val"), "False");

  ASSERT_TRUE(dir.add_expression(root_dir_c::PATH_FILTER, "D:/share/logs"));
  xmc_item_c* list = xmc_conf_c::find_data(dir_path, "ListFilters");
  ASSERT_NE(list, nullptr);
  xmc_item_c* entry = xmc_item_c::cast(list->first_item());
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(attr(entry, "label"), "ListFilters");
  EXPECT_STREQ(attr(entry, "val"), "logs");
  EXPECT_STREQ(attr(entry, "type"), "String");
  EXPECT_STREQ(attr(dir_path, "status"), "True");
  EXPECT_TRUE(dir.add_expression(root_dir_c::PATH_FILTER, "logs"));  // held already: no second child
  EXPECT_EQ(list->count_children(false), 1u);

  // Read back from the object, the root directory is what was set.
  xmc_root_dir_c again(item.get());
  EXPECT_STREQ(again.path(), "D:/share");
  EXPECT_EQ(again.id, 12u);
  EXPECT_TRUE(again.auto_created);
  EXPECT_FALSE(again.path_filter.exclude);
  EXPECT_EQ(entries(again.path_filter), std::vector<std::string>{"logs"});

  ASSERT_TRUE(dir.remove_expression(root_dir_c::PATH_FILTER, "logs"));
  EXPECT_EQ(list->first_child, nullptr);
  EXPECT_STREQ(attr(dir_path, "status"), "False");

  root_dir_c other;
  other.add_expression(root_dir_c::FILE_FILTER, "*.log");
  dir.copy_filters(root_dir_c::ALL_FILTERS, other);
  xmc_item_c* files = xmc_conf_c::find_object(item.get(), "FileRegExpr");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(files, "ListFilters")->first_item(), "val"), "*.log");
  EXPECT_STREQ(attr(files, "status"), "True");
  EXPECT_STREQ(attr(xmc_conf_c::find_data(dir_path, "ExcludeFilter"), "val"), "True");  // copied back too
}

TEST(root_dir_test, what_a_rootdir_object_may_not_hold) {
  mixed_xmc_xml_tree_c tree;
  ASSERT_TRUE(tree.load_from_str(
      "<?xml version=\"1.0\"?><object label=\"RootDir\" id=\"3010\"><data label=\"Path\" val=\"C:/a\" type=\"FullPath\"/>"
      "<data label=\"Path\" val=\"C:/b\" type=\"FullPath\"/><data val=\"x\" type=\"Text\"/>"
      "<data label=\"Colour\" val=\"x\" type=\"Text\"/><relevant label=\"Product\" val=\"Ha\" type=\"Product\"/>"
      "<object label=\"FileRegExpr\" id=\"500\"><data label=\"ListFilters\" val=\"String\" type=\"MultiEntry\">"
      "<data label=\"ListFilters\" val=\"*.a\" type=\"String\"/><data label=\"ListFilters\" type=\"String\"/></data>"
      "</object></object>"));
  zqtr_capture_c capture;
  xmc_root_dir_c dir(tree.root);
  EXPECT_STREQ(dir.path(), "C:/a");  // the first Path counts
  EXPECT_EQ(entries(dir.file_filter), std::vector<std::string>{"*.a"});
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{
                                 "Inconsistent field Path is found under RootDir node",
                                 "Unnamed entry is found under RootDir node ",
                                 "Inconsistent field Colour is found under RootDir node",
                                 "Inconsistent ExcludeFilter xml node is found",
                                 "Inconsistent element of ListFilters xml node is found",
                                 "Empty Filter content xml node is found",
                                 "Empty Filter content xml node is found",
                             }));
}

TEST(root_dir_test, hosts_carry_their_root_directories) {
  ASSERT_NE(generic_conf_instance, nullptr);
  host_index_tree_c& hosts = generic_conf_instance->host_tree();
  ASSERT_EQ(hosts.find(1)->root_dirs.count(), 1u);
  ASSERT_EQ(hosts.find(2)->root_dirs.count(), 1u);  // the master's own, not its replica's as well
  EXPECT_NE(hosts.find(1)->root_dirs.at(0), hosts.find(2)->root_dirs.at(0));
}
