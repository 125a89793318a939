// The rooms of plot/ and the floors they stand on: a file includes its own
// room and the rooms of lower floors, never a room of its own floor or above.
//   text/ (numbers and XML as text) 0, run/ (a finished run read back) 1,
//   picture/ and table/ 2 (apart), page/ (which holds pictures) 3, cli/ 4.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

TEST(PlotRooms, NoIncludeRunsBackUp) {
  const std::map<std::string, int> floors = {{"text", 0},  {"run", 1},  {"picture", 2},
                                             {"table", 2}, {"page", 3}, {"cli", 4}};
  const std::regex include(R"(#include "plot/([a-z_]+)/)");
  const std::filesystem::path plot = std::filesystem::path(VANTOR_SOURCE_DIR) / "plot";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(plot)) {
    if (!entry.is_regular_file()) continue;
    const std::filesystem::path relative = entry.path().lexically_relative(plot);
    const std::string room = relative.begin()->string();
    ASSERT_TRUE(floors.contains(room)) << relative << " is in no room";
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), include), end; it != end; ++it) {
      const std::string other = (*it)[1];
      if (other == room) continue;
      ASSERT_TRUE(floors.contains(other)) << relative << " includes plot/" << other;
      EXPECT_LT(floors.at(other), floors.at(room)) << relative << " includes plot/" << other;
    }
    ++files;
  }
  EXPECT_GT(files, 40);
}

}  // namespace
