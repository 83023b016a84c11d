// What the Wine tests cannot bring about: a scanner selection dialog that fails.
#include <gtest/gtest.h>

#include "app/app.h"
#include "platform/error.h"
#include "platform/fake/fake_platform.h"
#include "ui/frm_options.h"

using namespace marlet;

namespace {

struct SelectScanner : ::testing::Test {
    fake::World& w = fake::install();
    frmOptions form;
    SelectScanner() {
        gOptions = std::make_unique<cmOptions>();
        form.Load();
    }
};

}  // namespace

TEST_F(SelectScanner, AFailingSelectionDialogShowsItsDescriptionOnly) {
    w.scanner = true;
    w.onSelectScanner = [] { throw Error(5, "The scanner could not be selected: No Data Source"); };
    form.runEvent(&frmOptions::cmdSelectScan_Click);
    ASSERT_EQ(w.boxes.size(), 1u);
    EXPECT_EQ(w.boxes[0].text, "The scanner could not be selected: No Data Source");
    EXPECT_EQ(w.boxes[0].title, "Marlet");
    EXPECT_EQ(w.boxes[0].style, kOkOnly);
}
