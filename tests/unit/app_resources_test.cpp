// The resources of the built TolbexSetup.exe, read back through the Windows loader.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

std::wstring ExePath() {
    const char* build = std::getenv("TOLBEX_BUILD_DIR");
    std::string path = std::string(build ? build : ".") + "/TolbexSetup.exe";
    return std::wstring(path.begin(), path.end());
}

class ExeResources : public testing::Test {
  protected:
    void SetUp() override {
        module_ = LoadLibraryExW(ExePath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << GetLastError();
    }
    void TearDown() override { FreeLibrary(module_); }
    std::string Resource(LPCWSTR type, int id) {
        HRSRC info = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!info)
            return {};
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module_, info)));
        return std::string(data, SizeofResource(module_, info));
    }
    HMODULE module_ = nullptr;
};

TEST_F(ExeResources, IconGroupOneHoldsSevenSizesOf32Bits) {
    const std::string group = Resource(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader));
    const auto* header = reinterpret_cast<const GroupIconHeader*>(group.data());
    ASSERT_EQ(header->count, 7);
    ASSERT_EQ(group.size(), sizeof(GroupIconHeader) + 7 * sizeof(GroupIconEntry));
    const auto* entries =
        reinterpret_cast<const GroupIconEntry*>(group.data() + sizeof(GroupIconHeader));
    const int sizes[] = {16, 24, 32, 48, 64, 128, 256};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(entries[i].width == 0 ? 256 : entries[i].width, sizes[i]);
        EXPECT_EQ(entries[i].bitCount, 32);
        EXPECT_FALSE(Resource(RT_ICON, entries[i].id).empty());
    }
}

TEST_F(ExeResources, ManifestAsksNoElevationAndCommonControlsSix) {
    const std::string manifest = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find(R"(level="asInvoker")"), std::string::npos);
    EXPECT_NE(manifest.find(R"(uiAccess="false")"), std::string::npos);
    EXPECT_NE(manifest.find(R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")"),
              std::string::npos);
    EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
    EXPECT_EQ(manifest.find("dpiAwareness"), std::string::npos);
}

}  // namespace
