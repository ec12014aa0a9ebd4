// Reading dialog templates from a resource script, as the resource compiler reads it.
#include "platform/host/sim_state.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string writeScript(const std::string& name, const std::string& text) {
    std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(SimResources, MacrosConditionalsExpressionsAndClassAtoms) {
    writeScript("sim_ids.h", "#define IDC_A 10\n#define IDC_NONE (-1)\n");
    std::string path = writeScript("sim_script.rc", R"(// comment
#include "sim_ids.h"
#ifdef __GNUC__
#define CLASS_BUTTON "wrong branch"
#elif defined(RC_INVOKED)
#define CLASS_BUTTON 0x0080
#else
#define CLASS_BUTTON "wrong branch"
#endif
#ifndef IDC_A
#define IDC_A 99
#endif
Box DIALOG 1, 2, 3, 4
STYLE 0x80C00000 | NOT 0x00800000
BEGIN
    CONTROL "say ""hi""", IDC_A, CLASS_BUTTON, 0x50000000 | (0x4 | 0x10000), 8, 42,
            50, 12
    CONTROL "", IDC_NONE, "Static", 0x50020001, 0, 8, 140, 12
END
)");
    std::string error;
    std::vector<sim::detail::DialogTemplate> templates =
        sim::detail::parseResourceScript(path, &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(templates.size(), 1u);
    const sim::detail::DialogTemplate& box = templates[0];
    EXPECT_EQ(box.name, "Box");
    EXPECT_EQ(box.style, 0x80400000u);
    EXPECT_EQ(box.height, 4);
    ASSERT_EQ(box.controls.size(), 2u);
    EXPECT_EQ(box.controls[0].text, "say \"hi\"");
    EXPECT_EQ(box.controls[0].id, 10);
    EXPECT_EQ(box.controls[0].className, "Button");
    EXPECT_EQ(box.controls[0].style, 0x50010004u);
    EXPECT_EQ(box.controls[0].height, 12) << "a statement goes on after a trailing comma";
    EXPECT_EQ(box.controls[1].id, -1);
    EXPECT_EQ(box.controls[1].className, "Static");

    writeScript("sim_bad.rc", "Box DIALOG 1, 2, 3, 4\nBEGIN\n CONTROL \"\", NO_SUCH_ID, "
                              "\"Button\", 0, 0, 0, 1, 1\nEND\n");
    sim::detail::parseResourceScript(testing::TempDir() + "sim_bad.rc", &error);
    EXPECT_NE(error.find("NO_SUCH_ID"), std::string::npos);
}

} // namespace
