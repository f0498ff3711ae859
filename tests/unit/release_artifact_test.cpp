// What the shipped programs tell Windows about themselves: the installer a stripped, stamp-free
// image, and it and the product's two programs it carries each an application manifest with the
// rights it needs and a version resource with the product's names and version.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "pe_file.h"

namespace {

const char SHIPPED[] = QUILLARY_BINARY_DIR "/win32/installer/Quillary-Setup.exe";
const uint32_t RT_VERSION_TYPE = 16, RT_MANIFEST_TYPE = 24;
const uint32_t VERSION_ID = 1, MANIFEST_ID = 1; // CREATEPROCESS_MANIFEST_RESOURCE_ID

// Each i686 program, the rights its manifest asks for and the names its version resource gives.
struct Program {
    const char *path, *level, *description, *fileName;
};
const Program PROGRAMS[] = {
    {SHIPPED, "requireAdministrator", "Quillary - Setup", "Quillary-Setup.exe"},
    {QUILLARY_BINARY_DIR "/win32/product/quillary/uninstall.exe", "requireAdministrator",
     "Quillary - Uninstall", "uninstall.exe"},
    {QUILLARY_BINARY_DIR "/win32/product/quillary/Quillary.exe", "asInvoker", "Quillary",
     "Quillary.exe"},
};

// The version as the maintainer writes it in VERSION at the root of the sources.
std::string productVersion() {
    std::ifstream in(QUILLARY_SOURCE_DIR "/VERSION");
    std::string version;
    std::getline(in, version);
    return version;
}

// One node of a version resource: key, value bytes and children, laid out as Windows lays out
// VS_VERSIONINFO, StringFileInfo, StringTable, String and VarFileInfo alike.
struct VersionNode {
    std::string key;
    std::vector<unsigned char> value; // raw bytes (UTF-16 text for the string values)
    std::vector<VersionNode> children;
};

size_t align4(size_t at) { return (at + 3) & ~(size_t)3; }

bool parseNode(const std::vector<unsigned char> &data, size_t at, VersionNode *node, size_t *end) {
    auto u16 = [&](size_t p) { return p + 2 <= data.size() ? data[p] | data[p + 1] << 8 : 0; };
    size_t length = u16(at), valueLength = u16(at + 2), isText = u16(at + 4);
    if (length < 6 || at + length > data.size())
        return false;
    size_t p = at + 6;
    for (; p + 2 <= at + length && u16(p) != 0; p += 2)
        node->key += (char)u16(p);
    p = align4(p + 2);
    size_t valueBytes = isText ? valueLength * 2 : valueLength;
    if (p + valueBytes > at + length)
        return false;
    node->value.assign(data.begin() + p, data.begin() + p + valueBytes);
    p = align4(p + valueBytes);
    while (p + 6 <= at + length) {
        VersionNode child;
        size_t childEnd;
        if (!parseNode(data, p, &child, &childEnd))
            return false;
        node->children.push_back(child);
        p = align4(childEnd);
    }
    *end = at + length;
    return true;
}

// A String value's text, without its terminator.
std::string textOf(const VersionNode &node) {
    std::string text;
    for (size_t i = 0; i + 1 < node.value.size() && (node.value[i] || node.value[i + 1]); i += 2)
        text += (char)node.value[i];
    return text;
}

} // namespace

TEST(ShippedInstaller, IsStrippedAndCarriesNoTimeStamp) {
    pe::PeFile exe = pe::readPe(SHIPPED);
    ASSERT_GT(exe.bytes.size(), 4096u) << "missing or empty: " << SHIPPED;
    EXPECT_EQ(exe.u32(exe.peOffset() + 8), 0u) << "the PE header carries a link time";
    EXPECT_EQ(exe.u32(exe.peOffset() + 12), 0u) << "a COFF symbol table is left in";
    for (uint32_t i = 0; i < exe.sectionCount(); i++)
        EXPECT_NE(exe.sectionName(i).rfind(".debug", 0), 0u)
            << "debug section " << exe.sectionName(i) << " is left in";
}

TEST(ShippedPrograms, ManifestsAskForTheirRightsOnVistaToCurrentWithClassicControls) {
    for (const Program &program : PROGRAMS) {
        SCOPED_TRACE(program.path);
        pe::PeFile exe = pe::readPe(program.path);
        std::vector<unsigned char> data = exe.resource(RT_MANIFEST_TYPE, MANIFEST_ID);
        ASSERT_FALSE(data.empty()) << "no application manifest (type 24, id 1)";
        std::string manifest(data.begin(), data.end());
        EXPECT_NE(
            manifest.find(std::string("<requestedExecutionLevel level=\"") + program.level + "\""),
            std::string::npos)
            << manifest;
        // The operating-system ids Windows defines for each release, from Vista to 10 and 11.
        for (const char *os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                               "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) // 10 and 11
            EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"") + os + "\""),
                      std::string::npos)
                << "supportedOS " << os << " missing";
        EXPECT_EQ(manifest.find("<dependency"), std::string::npos)
            << "the manifest pulls in a side-by-side assembly (common controls 6?)";
    }
}

TEST(ShippedPrograms, VersionResourcesNameTheProductAndItsVersion) {
    std::string version = productVersion();
    ASSERT_FALSE(version.empty()) << "no version in " QUILLARY_SOURCE_DIR "/VERSION";
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(sscanf(version.c_str(), "%u.%u.%u", &major, &minor, &patch), 3) << version;

    for (const Program &program : PROGRAMS) {
        SCOPED_TRACE(program.path);
        pe::PeFile exe = pe::readPe(program.path);
        std::vector<unsigned char> data = exe.resource(RT_VERSION_TYPE, VERSION_ID);
        ASSERT_FALSE(data.empty()) << "no version resource (type 16, id 1)";
        VersionNode root;
        size_t end;
        ASSERT_TRUE(parseNode(data, 0, &root, &end)) << "damaged version resource";
        EXPECT_EQ(root.key, "VS_VERSION_INFO");

        // VS_FIXEDFILEINFO: signature, then file and product versions as major<<16|minor,
        // patch<<16.
        ASSERT_EQ(root.value.size(), 52u);
        auto u32 = [&](size_t p) {
            return (uint32_t)root.value[p] | root.value[p + 1] << 8 | root.value[p + 2] << 16 |
                   (uint32_t)root.value[p + 3] << 24;
        };
        EXPECT_EQ(u32(0), 0xFEEF04BDu);
        for (size_t at : {8u, 16u}) { // file version, product version
            EXPECT_EQ(u32(at), major << 16 | minor);
            EXPECT_EQ(u32(at + 4), patch << 16);
        }
        EXPECT_EQ(u32(36), 1u) << "file type is not an application (VFT_APP)";

        std::map<std::string, std::string> strings;
        for (const VersionNode &block : root.children)
            if (block.key == "StringFileInfo")
                for (const VersionNode &table : block.children)
                    for (const VersionNode &value : table.children)
                        strings[value.key] = textOf(value);
        EXPECT_EQ(strings["ProductName"], "Quillary");
        EXPECT_EQ(strings["FileDescription"], program.description);
        EXPECT_EQ(strings["ProductVersion"], version);
        EXPECT_EQ(strings["FileVersion"], version);
        EXPECT_EQ(strings["OriginalFilename"], program.fileName);
    }
}
