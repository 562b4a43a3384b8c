#include "../../tests/support/Pictures.hpp"
#include "SettingsBundle.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIImageInternals.hpp"

#include "BMGlintmereDeveloperTableCell.hpp"
#include "Foundation/NSAutoreleasePool.hpp"
#include "UIKit/CALayer.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIDevice.hpp"
#include "UIKit/UIFont.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UITableView.hpp"
#include "objc/ClassBuilder.hpp"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace testing_support;
using NS::literals::operator""_ns;
using Cell = BMGlintmereDeveloperTableCell;

constexpr const char* kIdentifier = "BMGlintmereDeveloperTableCell";

std::string textOf(objc::Ptr<UI::Label> label) {
    return label->text() != nullptr ? label->text()->str() : "(nil)";
}

// A row as a specifier file gives it; a null value leaves the property out.
objc::Ptr<PS::Specifier> personRow(const char* image, const char* devName, const char* realName,
                                   const char* job) {
    auto row =
        PS::Specifier::preferenceSpecifier("Person"_ns, nil, nullptr, nullptr, Nil, PS::StaticTextCell, 0L);
    const std::pair<const char*, const char*> properties[] = {
        {"devImage", image}, {"devName", devName}, {"realName", realName}, {"job", job}};
    for (const auto& [key, value] : properties) {
        if (value != nullptr) {
            row->setProperty(ns(value), ns(key));
        }
    }
    return row;
}

// The cell the host makes for `row`, with a style and reuse identifier of its own.
objc::Ref<PS::TableCell> hostCell(objc::Ptr<PS::Specifier> row,
                                  NS::String* reuseIdentifier = "PSStaticTextCell"_ns) {
    return objc::adopt(Cell::alloc()->initWithStyle(UI::TableViewCellStyleSubtitle, reuseIdentifier, row));
}

// The cell laid out as the table shows it: the screen's width, the row's height.
void layOut(objc::Ptr<Cell> cell) {
    cell->setFrame(CGRect{{0, 0}, {320, 100}});
    EXPECT_TRUE(UI::layoutViewTree(cell).empty());
}

struct IdiomlessPadDevice : NS::Referencing<IdiomlessPadDevice, "TestIdiomlessPadDevice", UI::Device> {};

// The shared device seen, while one lives, as a pad or as a device of a system without idioms.
class DeviceSeenAs {
  public:
    explicit DeviceSeenAs(const char* cls) : device_(UI::Device::currentDevice()) {
        kept_ = object_getClass(reinterpret_cast<id>(device_.get()));
        object_setClass(reinterpret_cast<id>(device_.get()), objc_lookUpClass(cls));
    }
    DeviceSeenAs(const DeviceSeenAs&) = delete;
    DeviceSeenAs& operator=(const DeviceSeenAs&) = delete;
    ~DeviceSeenAs() { object_setClass(reinterpret_cast<id>(device_.get()), kept_); }

  private:
    objc::Ptr<UI::Device> device_;
    Class kept_ = Nil;
};

class DeveloperCell : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(settingsBundle(), nullptr);
        objc::ClassDefinition<UI::Device>("TestPadDevice", "UIDevice")
            .method(UI::Device::userInterfaceIdiom_,
                    [](UI::Device*) -> long { return UI::UIUserInterfaceIdiomPad; })
            .build();
        objc::ClassDefinition<UI::Device>("TestIdiomlessPadDevice", "TestPadDevice")
            .method(NS::Object::respondsToSelector_,
                    [](UI::Device* self, SEL sel) -> bool {
                        return sel != UI::Device::userInterfaceIdiom_.selector() &&
                               NS::Object::respondsToSelector_.super<IdiomlessPadDevice>(self, sel);
                    })
            .build();
    }

    NS::AutoreleaseScope pool;
};

TEST_F(DeveloperCell, ShowsTheRowsPersonInHelveticaLightWhateverTheHostAskedFor) {
    for (objc::Ptr<NS::String> asked : {"PSStaticTextCell"_ns, objc::Ptr<NS::String>()}) {
        auto made = hostCell(personRow("brightmoth", "Brightmoth", "Wren Halloway", "Developer"), asked);
        auto cell = NS::cast<Cell>(made.get());
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->reuseIdentifier()->str(), kIdentifier);
        EXPECT_EQ(cell->style(), UI::TableViewCellStyleDefault);
        EXPECT_EQ(cell->specifier(), nullptr) << "the row is read, not kept";

        struct Line {
            objc::Ptr<UI::Label> label;
            const char* text;
            CGFloat size;
            UI::Color* colour;
        };
        const Line lines[] = {{cell->devNameLabel(), "Brightmoth", 20, UI::Color::darkGrayColor()},
                              {cell->realNameLabel(), "Wren Halloway", 15, UI::Color::grayColor()},
                              {cell->jobLabel(), "Developer", 12, UI::Color::grayColor()}};
        for (const Line& line : lines) {
            ASSERT_NE(line.label, nullptr) << line.text;
            EXPECT_EQ(textOf(line.label), line.text);
            ASSERT_NE(line.label->font(), nullptr) << line.text;
            EXPECT_EQ(line.label->font()->fontName()->str(), "Helvetica Light");
            EXPECT_EQ(line.label->font()->pointSize(), line.size) << line.text;
            EXPECT_EQ(UI::rgbaOf(line.label->textColor()), UI::rgbaOf(line.colour)) << line.text;
            EXPECT_EQ(UI::rgbaOf(line.label->backgroundColor()), (CGColor{0, 0, 0, 0})) << line.text;
            EXPECT_EQ(line.label->textAlignment(), UI::TextAlignmentCenter);
            EXPECT_EQ(line.label->superview().get(), cell.get()) << "on the cell, not its content view";
            EXPECT_FALSE(line.label->translatesAutoresizingMaskIntoConstraints());
        }
        EXPECT_EQ(cell->constraints()->count(), 6u);
    }
}

TEST_F(DeveloperCell, ThePictureIsTheBundlesPortraitFramedAndShadowedOnTheCell) {
    auto made = hostCell(personRow("zeridovuvoru", "ZeridOvuvoru", "Zerid Ovuvoru", "Design and Support"));
    auto cell = made.get().as<Cell>();
    auto picture = cell->devImageView();
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(picture->image(), nullptr);
    EXPECT_EQ(UI::ImageInternals::of(picture->image())->fileName()->str(), "zeridovuvoru@2x.png")
        << "the one for a 2x screen";
    EXPECT_EQ(picture->frame(), (CGRect{{10, 15}, {70, 70}}));
    EXPECT_EQ(picture->superview().get(), cell.get());
    EXPECT_TRUE(picture->translatesAutoresizingMaskIntoConstraints()) << "the frame stays as set";
    EXPECT_FALSE(picture->clipsToBounds());
    auto layer = picture->layer();
    ASSERT_NE(layer->shadowColor(), nullptr);
    EXPECT_EQ(*layer->shadowColor(), (CGColor{0, 0, 0, 1}));
    EXPECT_EQ(layer->shadowOffset(), (CGSize{0, 1}));
    EXPECT_EQ(layer->shadowOpacity(), 0.2f);
    EXPECT_EQ(layer->shadowRadius(), 1.0);
}

TEST_F(DeveloperCell, TheLinesStartRightOfThePictureAndStackFromTwentyAboveTheMiddle) {
    auto made = hostCell(personRow("brightmoth", "Brightmoth", "Wren Halloway", "Developer"));
    auto cell = made.get().as<Cell>();
    layOut(cell);
    const CGRect name = cell->devNameLabel()->frame();
    const CGRect real = cell->realNameLabel()->frame();
    const CGRect job = cell->jobLabel()->frame();
    for (const CGRect& frame : {name, real, job}) {
        EXPECT_NEAR(frame.origin.x, 110, 0.01);
        EXPECT_GT(frame.size.width, 0);
        EXPECT_GT(frame.size.height, 0);
    }
    EXPECT_NEAR(name.origin.y + name.size.height / 2, 30, 0.01);
    EXPECT_NEAR(real.origin.y, name.origin.y + name.size.height, 0.01);
    EXPECT_NEAR(job.origin.y, real.origin.y + real.size.height + 5, 0.01);
    // Each line is as tall as its font makes it.
    EXPECT_GT(name.size.height, real.size.height);
    EXPECT_GT(real.size.height, job.size.height);
    EXPECT_EQ(cell->devImageView()->frame(), (CGRect{{10, 15}, {70, 70}})) << "the layout pass keeps it";
}

// A portrait is a base name in the bundle: a name that climbs out of it, or names a folder, loads
// no picture even where one waits at the end of the path.
TEST_F(DeveloperCell, APortraitNamedOutsideTheBundleLoadsNoPicture) {
    const std::string bundle = settingsBundle()->bundlePath()->str();
    const std::string outside = "/tmp/outside-portrait";
    ASSERT_TRUE(writePng(makePicture(4, 4), outside + ".png"));
    std::string climb;
    for (std::size_t slash = bundle.find('/'); slash != std::string::npos;
         slash = bundle.find('/', slash + 1)) {
        climb += "../";
    }
    for (const std::string& name :
         std::vector<std::string>{climb + "tmp/outside-portrait", outside, "../Glintmere.bundle/brightmoth",
                                  std::string("./brightmoth"), std::string(".."), std::string(".")}) {
        auto made = hostCell(personRow(name.c_str(), "Nobody", "No One", "Nothing"));
        EXPECT_EQ(made.get().as<Cell>()->devImageView()->image(), nullptr) << name;
    }
    std::remove((outside + ".png").c_str());
}

TEST_F(DeveloperCell, AMissingPortraitOrTextLeavesThatPartEmptyAndTheRestInPlace) {
    const objc::Ptr<PS::Specifier> rows[] = {personRow("nobody", "Nobody", "No One", "Nothing"),
                                             personRow(nullptr, "Nobody", "No One", "Nothing")};
    for (auto row : rows) {
        auto made = hostCell(row);
        auto cell = made.get().as<Cell>();
        ASSERT_NE(cell, nullptr);
        auto picture = cell->devImageView();
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->image(), nullptr);
        EXPECT_EQ(picture->frame(), (CGRect{{10, 15}, {70, 70}}));
        EXPECT_EQ(picture->superview().get(), cell.get());
        EXPECT_EQ(*picture->layer()->shadowColor(), (CGColor{0, 0, 0, 1}));
        layOut(cell);
        for (auto label : {cell->devNameLabel(), cell->realNameLabel(), cell->jobLabel()}) {
            EXPECT_NEAR(label->frame().origin.x, 110, 0.01) << textOf(label);
        }
        EXPECT_EQ(textOf(cell->devNameLabel()), "Nobody");
    }

    auto textless = hostCell(personRow("brightmoth", nullptr, "Wren Halloway", nullptr));
    auto cell = textless.get().as<Cell>();
    EXPECT_EQ(cell->devNameLabel()->text(), nullptr);
    EXPECT_EQ(textOf(cell->realNameLabel()), "Wren Halloway");
    EXPECT_EQ(cell->jobLabel()->text(), nullptr);
    EXPECT_NE(cell->devImageView()->image(), nullptr);
    layOut(cell);
    EXPECT_NEAR(cell->realNameLabel()->frame().origin.x, 110, 0.01);
}

TEST_F(DeveloperCell, OnAPadTheNameIsThirtyPointsUnlessTheDeviceCannotTellItsIdiom) {
    auto sizes = [] {
        auto made = objc::adopt(Cell::alloc()->initWithDevName("A"_ns, "B"_ns, "C"_ns, nullptr));
        return std::vector<CGFloat>{made->devNameLabel()->font()->pointSize(),
                                    made->realNameLabel()->font()->pointSize(),
                                    made->jobLabel()->font()->pointSize()};
    };
    EXPECT_EQ(sizes(), (std::vector<CGFloat>{20, 15, 12})) << "a phone";
    {
        DeviceSeenAs pad("TestPadDevice");
        EXPECT_EQ(sizes(), (std::vector<CGFloat>{30, 15, 12}));
    }
    {
        DeviceSeenAs idiomless("TestIdiomlessPadDevice");
        EXPECT_EQ(sizes(), (std::vector<CGFloat>{20, 15, 12}));
    }
}

TEST_F(DeveloperCell, TheMakersPaneShowsItsPeopleInDeveloperCellsAHundredPointsTall) {
    auto pane = objc::adopt(
        PS::ListController::alloc_.send(objc_lookUpClass("BMGlintmereMakersListController"))->init());
    pane->setBundle(settingsBundle());
    pane->view();
    auto table = pane->table();
    ASSERT_GE(pane->numberOfRows(table, 0), 2);
    const char* names[] = {"Brightmoth", "ZeridOvuvoru"};
    const char* portraits[] = {"brightmoth@2x.png", "zeridovuvoru@2x.png"};
    table->reloadData();
    for (long r = 0; r < 2; ++r) {
        auto path = NS::IndexPath::indexPath(r, 0);
        EXPECT_EQ(pane->heightForRow(table, path), 100.0);
        auto shown = NS::cast<Cell>(table->cellForRowAtIndexPath(path));
        ASSERT_NE(shown, nullptr) << r;
        EXPECT_EQ(shown->frame().size.height, 100.0);
        EXPECT_EQ(textOf(shown->devNameLabel()), names[r]);
        EXPECT_EQ(UI::ImageInternals::of(shown->devImageView()->image())->fileName()->str(), portraits[r]);
    }
}

} // namespace
