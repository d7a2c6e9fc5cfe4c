// The file-type options table: search texts and agreement with the desktop skin's options.
#include "output/FileTypeOptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace salvora {
namespace {

TEST(FileTypeOptions, SearchTextOfKeysIsSortedAndFindsEveryJoinedExtension) {
  EXPECT_EQ(ExtensionTextOfKeys({"jpg|jpeg", "bmp", "gif", "bmp"}), "*.bmp|*.gif|*.jpg|jpeg");
  EXPECT_EQ(ExtensionTextOfKeys({}), "");
  const std::string photo = ExtensionTextOfGroups({FileTypeGroup::Photo});
  EXPECT_EQ(photo.rfind("*.arw|", 0), 0u) << photo;
  for (const char* ext : {"jpg", "jpeg", "tiff", "scr", "dng"}) EXPECT_NE(photo.find(ext), std::string::npos) << ext;
  EXPECT_EQ(photo.find("mp3"), std::string::npos);
  const std::string both = ExtensionTextOfGroups({FileTypeGroup::Audio, FileTypeGroup::Video});
  EXPECT_NE(both.find("mp3"), std::string::npos);
  EXPECT_NE(both.find("mkv"), std::string::npos);
  EXPECT_EQ(both.find("png"), std::string::npos);
}

TEST(FileTypeOptions, UserListBecomesTheExtensionText) {
  EXPECT_EQ(ExtensionTextOfList("jpg,png"), "*.jpg|*.png|");
  EXPECT_EQ(ExtensionTextOfList(" JPG , .Png,*.gif,,"), "*.jpg|*.png|*.gif|");
  EXPECT_EQ(ExtensionTextOfList(""), "");
  EXPECT_EQ(ExtensionTextOfList(",,"), "");
  // Bars and stars inside an item would widen the search beyond what was asked.
  EXPECT_EQ(ExtensionTextOfList("jp|g,*"), "");
}

TEST(FileTypeOptions, GroupNames) {
  FileTypeGroup group;
  EXPECT_TRUE(FileTypeGroupNamed("video", group));
  EXPECT_EQ(group, FileTypeGroup::Video);
  EXPECT_FALSE(FileTypeGroupNamed("Photo", group));
  EXPECT_FALSE(FileTypeGroupNamed("all", group));
}

// The skin lists the same options with the same user data, labels and icons, in the same order.
TEST(FileTypeOptions, SkinCarriesTheSameOptions) {
  std::ifstream in(std::string(SALVORA_SOURCE_DIR) + "/skin/xml/skin.xml");
  ASSERT_TRUE(in);
  std::stringstream text;
  text << in.rdbuf();
  const std::string skin = text.str();
  const std::regex option(
      R"re(<string>([^<]*)</string></property>\s*<property name="userdata" stdset="0"><string>([^<]*)</string></property>\s*<property name="image" stdset="0"><string>([^<]*)</string>)re");
  std::vector<std::string> fromSkin, fromTable;
  for (auto it = std::sregex_iterator(skin.begin(), skin.end(), option); it != std::sregex_iterator(); ++it)
    fromSkin.push_back((*it)[2].str() + " " + (*it)[1].str() + " " + (*it)[3].str());
  for (const auto& o : FileTypeOptions())
    fromTable.push_back(std::string(o.userData) + " " + std::string(o.label) + " " + std::string(o.icon));
  EXPECT_EQ(fromSkin, fromTable);
}

}  // namespace
}  // namespace salvora
