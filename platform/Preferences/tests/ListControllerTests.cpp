#include "CoreFoundation/CoreFoundation.h"
#include "Foundation/Foundation.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "Foundation/NSBundle.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Preferences/PSListController.hpp"
#include "Preferences/PSRowMessages.hpp"
#include "Preferences/PSSpecifier.hpp"
#include "Preferences/PSSpecifierInternals.hpp"
#include "Preferences/PSTableCell.hpp"
#include "UIKit/Images/PNGEncoder.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UIColorInternals.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UIScrollViewInternals.hpp"
#include "UIKit/UISwitch.hpp"
#include "UIKit/UITableView.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using objc::operator""_sel;
using NS::literals::operator""_ns;

std::vector<std::string> taps;

struct TestPane : NS::Referencing<TestPane, "TestPane", PS::ListController> {
    // The button actions of the test pane.
    OBJC_MESSAGE(tapped, "tapped", void())
    OBJC_MESSAGE(tappedWith, "tappedWith:", void(PS::Specifier*))
    // Methods that a row may name but that take or give other things than the host's.
    OBJC_MESSAGE(storeText, "storeText:specifier:", void(NS::String*, PS::Specifier*))
    OBJC_MESSAGE(countFor, "countFor:", long(PS::Specifier*))
};
struct CountingSpecifier : NS::Referencing<CountingSpecifier, "TestCountingSpecifier", PS::Specifier> {};

std::string str(NS::String* s) { return s != nullptr ? s->str() : "(nil)"; }

PS::Specifier* row(const char* name, long cell, id target = nil) {
    const bool control = PS::isControl(cell);
    const SEL set = control ? "setPreferenceValue:specifier:"_sel.get() : nullptr;
    const SEL get = control ? "readPreferenceValue:"_sel.get() : nullptr;
    return PS::Specifier::preferenceSpecifier(name != nullptr ? NS::String::string(name) : nullptr, target,
                                              set, get, Nil, cell, 0);
}

class Panes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<PS::ListController>("TestPane", "PSListController")
            .method(TestPane::tapped_, [](PS::ListController*) { taps.push_back("tapped"); })
            .method(TestPane::tappedWith_,
                    [](PS::ListController*, objc::Ptr<PS::Specifier> specifier) {
                        taps.push_back("tappedWith " + specifier->name()->str());
                    })
            .method(TestPane::storeText_,
                    [](PS::ListController*, NS::String*, PS::Specifier*) { taps.push_back("stored"); })
            .method(TestPane::countFor_,
                    [](PS::ListController*, PS::Specifier*) -> long {
                        taps.push_back("counted");
                        return 3;
                    })
            .build();
        objc::ClassBuilder("TestDetailPane", "PSListController").build();
        objc::ClassBuilder("TestSwitchCell", "PSTableCell").build();
    }
    void SetUp() override {
        taps.clear();
        pane = objc::adopt(objc::send<PS::ListController*>(objc_lookUpClass("TestPane"), "new"_sel));
    }

    // Rows: a loose one, then "First" (switch, footer), then an untitled group with a link and a button.
    void fillPane() {
        loose = row("Loose", PS::StaticTextCell);
        first = row("First", PS::GroupCell);
        first->setProperty("first footer"_ns, "footerText"_ns);
        toggle = row("Toggle", PS::SwitchCell, pane->self());
        toggle->setProperty("toggle"_ns, "key"_ns);
        toggle->setProperty(NS::Number::number(true), "default"_ns);
        untitled = row(nullptr, PS::GroupCell);
        link = row("Details", PS::LinkCell);
        link->setDetailControllerClass(objc_lookUpClass("TestDetailPane"));
        button = row("Press", PS::ButtonCell, pane->self());
        button->setButtonAction("tapped"_sel);
        pane->setSpecifiers(NS::Array::arrayWithObjects({loose, first, toggle, untitled, link, button}));
    }

    PS::TableCell* cellAt(long section, long r) {
        return pane->cellForRow(pane->table(), NS::IndexPath::indexPath(r, section)).as<PS::TableCell>();
    }

    NS::AutoreleaseScope pool;
    objc::Ref<PS::ListController> pane;
    PS::Specifier *loose = nullptr, *first = nullptr, *toggle = nullptr, *untitled = nullptr, *link = nullptr,
                  *button = nullptr;
};

TEST_F(Panes, GroupsStartSectionsWithTheirTitlesAndFooters) {
    fillPane();
    pane->view();
    UI::TableView* table = pane->table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->dataSource(), pane->self());
    ASSERT_EQ(pane->numberOfSections(table), 3);
    EXPECT_EQ(pane->numberOfRows(table, 0), 1);
    EXPECT_EQ(pane->numberOfRows(table, 1), 1);
    EXPECT_EQ(pane->numberOfRows(table, 2), 2);
    EXPECT_EQ(pane->numberOfRows(table, 3), 0);
    EXPECT_EQ(pane->titleForHeader(table, 0), nullptr);
    EXPECT_EQ(str(pane->titleForHeader(table, 1)), "First");
    EXPECT_EQ(str(pane->titleForFooter(table, 1)), "first footer");
    EXPECT_EQ(pane->titleForHeader(table, 2), nullptr);
    EXPECT_EQ(pane->titleForFooter(table, 2), nullptr);
    EXPECT_EQ(pane->specifierAtIndexPath(NS::IndexPath::indexPath(1, 2)), button);
    EXPECT_EQ(pane->specifierAtIndexPath(NS::IndexPath::indexPath(2, 2)), nullptr);
    EXPECT_EQ(pane->viewForHeader(table, 1), nullptr);
    EXPECT_EQ(pane->heightForHeader(table, 1), UI::TableViewAutomaticDimension);
}

TEST_F(Panes, RowMethodsThatTakeOtherArgumentsThanTheHostPassesAreNotSent) {
    pane->setTitle("Pane"_ns);
    auto specifier = [&](const char* name, long cell, SEL get, SEL action) {
        auto made = PS::Specifier::preferenceSpecifier(NS::String::string(name), pane->self(), nullptr, get,
                                                       Nil, cell, 0);
        made->setButtonAction(action);
        return made;
    };
    NS::Array* rows = NS::Array::arrayWithObjects({
        specifier("Store", PS::ButtonCell, nullptr, "setPreferenceValue:specifier:"_sel),
        specifier("Replace", PS::ButtonCell, nullptr, "setView:"_sel),
        specifier("Present", PS::ButtonCell, nullptr, "presentViewController:animated:completion:"_sel),
        specifier("Retitle", PS::ButtonCell, nullptr, "setTitle:"_sel),
        specifier("Plain", PS::ButtonCell, nullptr, "tapped"_sel),
        specifier("With Row", PS::ButtonCell, nullptr, "tappedWith:"_sel),
        specifier("Void Getter", PS::SwitchCell, "tapped"_sel, nullptr),
        specifier("Number Getter", PS::SwitchCell, "countFor:"_sel, nullptr),
        specifier("Stored", PS::SwitchCell, "readPreferenceValue:"_sel, nullptr),
    });
    pane->setSpecifiers(rows);
    pane->view();
    UI::TableView* table = pane->table();
    testing::internal::CaptureStderr();
    for (long r = 0; r < static_cast<long>(rows->count()); ++r) {
        ASSERT_NE(pane->cellForRow(table, NS::IndexPath::indexPath(r, 0)), nullptr);
        pane->didSelectRow(table, NS::IndexPath::indexPath(r, 0));
    }
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(taps, (std::vector<std::string>{"tapped", "tappedWith With Row"}));
    EXPECT_EQ(pane->view().get(), table) << "the pane keeps its view";
    EXPECT_EQ(str(pane->title()), "Pane");
    for (const char* refused :
         {"row \"Store\": its action setPreferenceValue:specifier: is - (void)setPreferenceValue:(id) "
          "specifier:(PSSpecifier *) in TestPane, but an action returns void and takes nothing or the row's "
          "PSSpecifier, so it is not sent\n",
          "row \"Replace\": its action setView: is - (void)setView:(UIView *) in TestPane",
          "row \"Present\": its action presentViewController:animated:completion: is",
          "row \"Retitle\": its action setTitle: is - (void)setTitle:(NSString *) in TestPane",
          "row \"Void Getter\": its getter tapped is - (void)tapped in TestPane, but a getter returns an "
          "object "
          "and takes the row's PSSpecifier, so it is not sent\n",
          "row \"Number Getter\": its getter countFor: is - (long)countFor:(PSSpecifier *) in TestPane"}) {
        EXPECT_NE(said.find(std::string("PSListController: ") + refused), std::string::npos) << said;
    }
    EXPECT_EQ(said.find("\"Plain\""), std::string::npos) << said;
    EXPECT_EQ(said.find("\"Stored\""), std::string::npos) << said;
}

TEST_F(Panes, ASetterMustTakeTheValueItIsToldAndTheRow) {
    auto withSetter = [&](SEL set) {
        return PS::Specifier::preferenceSpecifier("Text"_ns, pane->self(), set, nullptr, Nil,
                                                  PS::EditTextCell, 0);
    };
    PS::Specifier* text = withSetter("storeText:specifier:"_sel);
    EXPECT_EQ(PS::refusalToSend(text, PS::RowMessage::Setter, "words"_ns), "");
    EXPECT_EQ(PS::refusalToSend(text, PS::RowMessage::Setter, nullptr), "") << "nil fits any object";
    EXPECT_EQ(
        PS::refusalToSend(text, PS::RowMessage::Setter, NS::Number::number(1)),
        std::string(
            "its setter storeText:specifier: is - (void)storeText:(NSString *) specifier:(PSSpecifier *) "
            "in TestPane, but a setter returns void and takes the new value, of class ") +
            object_getClassName(NS::Number::number(1)->self()) + ", and the row's PSSpecifier");
    // The host's own storage takes any value; a setter with one argument is refused whatever it is told.
    EXPECT_EQ(PS::refusalToSend(withSetter("setPreferenceValue:specifier:"_sel), PS::RowMessage::Setter,
                                NS::Number::number(1)),
              "");
    EXPECT_NE(PS::refusalToSend(withSetter("tappedWith:"_sel), PS::RowMessage::Setter, "words"_ns), "");
    // With no target, or no selector, nothing would be sent.
    text->setTarget(nil);
    EXPECT_EQ(PS::refusalToSend(text, PS::RowMessage::Setter, NS::Number::number(1)), "");
    EXPECT_EQ(PS::refusalToSend(withSetter(nullptr), PS::RowMessage::Setter), "");
    EXPECT_EQ(PS::rowName(text), "\"Text\"");
    EXPECT_EQ(PS::rowName(row(nullptr, PS::ButtonCell)), "a row without a title");
}

TEST_F(Panes, APaneFreesItsTableAndTheTableForgetsThePane) {
    pane->view();
    auto table = objc::retain(pane->table());
    ASSERT_NE(table.get(), nullptr);
    pane = nullptr;
    EXPECT_EQ(table->retainCount(), 1u);
    EXPECT_EQ(table->dataSource(), nil);
    EXPECT_EQ(table->delegate(), nil);
}

TEST_F(Panes, CellsShowTitleAndTheValueTheGetterGives) {
    fillPane();
    PS::TableCell* cell = cellAt(1, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->specifier(), toggle);
    EXPECT_EQ(cell->type(), PS::SwitchCell);
    EXPECT_EQ(str(cell->titleLabel()->text()), "Toggle");
    ASSERT_NE(cell->value(), nullptr);
    EXPECT_TRUE(cell->value().as<NS::Number>()->boolValue()) << "the default shows while unset";
    EXPECT_EQ(cellAt(0, 0)->value(), nullptr) << "a row without a getter has no value";
}

TEST_F(Panes, ARowsCellClassIsUsedOnlyWhenItIsAHostCell) {
    fillPane();
    toggle->setProperty("TestSwitchCell"_ns, "cellClass"_ns);
    EXPECT_EQ(cellAt(1, 0)->getClass(), objc_lookUpClass("TestSwitchCell"));
    toggle->setProperty("TestDetailPane"_ns, "cellClass"_ns);
    EXPECT_EQ(cellAt(1, 0)->getClass(), PS::TableCell::runtimeClass());
    toggle->setProperty("NoSuchCell"_ns, "cellClass"_ns);
    EXPECT_EQ(cellAt(1, 0)->getClass(), PS::TableCell::runtimeClass());
}

// An icon of 29 points, as a package's in the top list.
objc::Ptr<UI::Image> icon() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 29, 29);
    const std::string png = UI::encodePNG(surface);
    cairo_surface_destroy(surface);
    return UI::Image::alloc()->initWithData(NS::Data::dataWithBytes(png.data(), png.size()))->autorelease();
}

TEST_F(Panes, ALongPaneMakesCellsForTheRowsInViewAndACellShownAgainShowsOnlyItsNewRow) {
    // Switches (every other one stored off), texts (every other one with an icon), links and buttons
    // in turn; every tenth switch in a cell class of its own that cannot show another row.
    auto picture = objc::retain(icon());
    std::vector<PS::Specifier*> rows;
    auto list = NS::MutableArray::array();
    for (int i = 0; i < 400; ++i) {
        const std::string n = std::to_string(i);
        PS::Specifier* made = nullptr;
        switch (i % 4) {
        case 0:
            // Every third switch has no target to read its value from.
            made = row(("Switch " + n).c_str(), PS::SwitchCell, i % 12 == 0 ? nil : pane->self());
            made->setProperty(NS::String::string("k" + n), "key"_ns);
            made->setProperty(NS::Number::number(true), "default"_ns);
            if (i % 8 == 0) {
                pane->setPreferenceValue(NS::Number::number(false), made);
            }
            if (i % 40 == 0) {
                made->setProperty("TestSwitchCell"_ns, "cellClass"_ns);
            }
            break;
        case 1:
            made = row(("Text " + n).c_str(), PS::StaticTextCell);
            if (i % 8 == 1) {
                made->setProperty(picture.get(), "iconImage"_ns);
            }
            break;
        case 2:
            made = row(("Link " + n).c_str(), PS::LinkCell);
            made->setDetailControllerClass(objc_lookUpClass("TestDetailPane"));
            break;
        default:
            made = row(("Button " + n).c_str(), PS::ButtonCell, pane->self());
            made->setButtonAction("tapped"_sel);
            break;
        }
        rows.push_back(made);
        list->addObject(made);
    }
    pane->setSpecifiers(list);
    pane->view();
    UI::TableView* table = pane->table();
    const double height = table->frame().size.height;
    ASSERT_GT(height, 0);
    table->layoutIfNeeded();
    ASSERT_EQ(table->numberOfRowsInSection(0), 400);

    std::set<const PS::TableCell*> hostCells;
    int ownClassShown = 0;
    long checked = 0;
    // Down a screen at a time and back up in larger steps, laid out as on screen.
    std::vector<double> offsets;
    for (double y = 0; y < UI::bottomOffset(table); y += height - 40) {
        offsets.push_back(y);
    }
    for (double y = UI::bottomOffset(table); y > 0; y -= 3 * height) {
        offsets.push_back(y);
    }
    for (const double y : offsets) {
        table->setContentOffset(CGPoint{0, y});
        table->layoutIfNeeded();
        for (long r = 0; r < 400; ++r) {
            auto cell = NS::cast<PS::TableCell>(table->cellForRowAtIndexPath(NS::IndexPath::indexPath(r, 0)));
            if (cell == nullptr) {
                continue;
            }
            ++checked;
            PS::Specifier* shown = rows[static_cast<std::size_t>(r)];
            const long type = shown->cellType();
            const std::string where = "row " + std::to_string(r) + " at " + std::to_string(y);
            EXPECT_EQ(cell->specifier(), shown) << where;
            EXPECT_EQ(cell->type(), type) << where;
            EXPECT_EQ(str(cell->titleLabel()->text()), str(shown->name())) << where;
            if (r % 40 == 0) {
                EXPECT_EQ(cell->getClass(), objc_lookUpClass("TestSwitchCell")) << where;
                ++ownClassShown;
            } else {
                EXPECT_EQ(cell->getClass(), PS::TableCell::runtimeClass()) << where;
                hostCells.insert(cell);
            }
            if (type == PS::SwitchCell) {
                EXPECT_NE(NS::cast<UI::Switch>(cell->accessoryView()), nullptr) << where;
                if (r % 12 == 0) {
                    EXPECT_EQ(cell->value(), nullptr) << where << ": the value of the row shown before";
                    continue;
                }
                ASSERT_NE(NS::cast<NS::Number>(cell->value()), nullptr) << where;
                EXPECT_EQ(cell->value().as<NS::Number>()->boolValue(), r % 8 != 0) << where;
            } else {
                EXPECT_EQ(cell->value(), nullptr) << where << ": the value of the row shown before";
                EXPECT_EQ(cell->accessoryView(), nullptr) << where;
            }
            EXPECT_EQ(cell->accessoryType(), type == PS::LinkCell
                                                 ? UI::UITableViewCellAccessoryDisclosureIndicator
                                                 : UI::UITableViewCellAccessoryNone)
                << where;
            EXPECT_EQ(
                UI::rgbaOf(cell->titleLabel()->textColor()),
                UI::rgbaOf(type == PS::ButtonCell ? UI::systemTintColor() : UI::Color::blackColor().get()))
                << where;
            if (type == PS::StaticTextCell) {
                EXPECT_EQ(cell->imageView()->image(), r % 8 == 1 ? picture.get() : nullptr) << where;
            }
        }
    }
    EXPECT_GT(checked, 400) << "every row was in view";
    EXPECT_GT(ownClassShown, 10);
    // A screen holds 13 rows: about a screen's worth of each of the four kinds at most.
    EXPECT_LE(hostCells.size(), 40u);
}

TEST_F(Panes, ARowIsAsTallAsItsSpecifierAsksAndTheTableGivesItsCellThatHeight) {
    fillPane();
    toggle->setProperty(NS::Number::number(100.0), "height"_ns);
    link->setProperty("tall"_ns, "height"_ns);
    button->setProperty(NS::Number::number(-5.0), "height"_ns);
    pane->view();
    UI::TableView* table = pane->table();
    EXPECT_EQ(pane->heightForRow(table, NS::IndexPath::indexPath(0, 1)), 100.0);
    EXPECT_EQ(pane->heightForRow(table, NS::IndexPath::indexPath(0, 0)), UI::TableViewAutomaticDimension);
    EXPECT_EQ(pane->heightForRow(table, NS::IndexPath::indexPath(0, 2)), UI::TableViewAutomaticDimension)
        << "a height that is no number";
    EXPECT_EQ(pane->heightForRow(table, NS::IndexPath::indexPath(1, 2)), UI::TableViewAutomaticDimension)
        << "a height below zero";
    EXPECT_EQ(pane->heightForRow(table, NS::IndexPath::indexPath(5, 2)), UI::TableViewAutomaticDimension)
        << "no such row";

    table->reloadData();
    auto tall = table->cellForRowAtIndexPath(NS::IndexPath::indexPath(0, 1));
    auto plain = table->cellForRowAtIndexPath(NS::IndexPath::indexPath(0, 0));
    ASSERT_NE(tall, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(tall->frame().size.height, 100.0);
    EXPECT_EQ(plain->frame().size.height, 44.0);
}

TEST_F(Panes, ButtonsSendTheirActionWithOrWithoutTheSpecifier) {
    fillPane();
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(1, 2));
    button->setButtonAction("tappedWith:"_sel);
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(1, 2));
    button->setButtonAction("noSuchAction"_sel);
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(1, 2));
    EXPECT_EQ(taps, (std::vector<std::string>{"tapped", "tappedWith Press"}));
}

TEST_F(Panes, LinksOpenTheirPaneWithTheParentsBundle) {
    fillPane();
    auto bundleStandIn = NS::String::string("a bundle"); // any object serves: the pane only hands it on
    pane->setBundle(bundleStandIn.as<NS::Bundle>());
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane.get()));
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(0, 2));
    auto child = NS::cast<PS::ListController>(nav->topViewController());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->getClass(), objc_lookUpClass("TestDetailPane"));
    EXPECT_EQ(child->bundle().as<NS::Object>(), bundleStandIn);
    EXPECT_EQ(child->parentController(), pane.get());
    EXPECT_EQ(child->specifier(), link);
    EXPECT_EQ(str(child->title()), "Details");
    EXPECT_EQ(child->navigationController(), nav.get());
}

TEST_F(Panes, ALinkToAClassThatIsNoViewControllerOpensNothing) {
    fillPane();
    auto nav = objc::adopt(UI::NavigationController::alloc()->initWithRootViewController(pane.get()));
    for (const char* name : {"UIView", "NSObject", "PSSpecifier"}) {
        link->setDetailControllerClass(objc_lookUpClass(name));
        pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(0, 2));
        EXPECT_EQ(nav->topViewController(), pane.get()) << name;
    }
    link->setDetailControllerClass(objc_lookUpClass("UIViewController"));
    pane->didSelectRow(pane->table(), NS::IndexPath::indexPath(0, 2));
    EXPECT_EQ(objc::send<Class>(nav->topViewController(), "class"_sel), objc_lookUpClass("UIViewController"));
}

TEST_F(Panes, OwnStorageKeepsValuesInMemoryAndRefusesWhatItCannotStore) {
    fillPane();
    pane->setPreferenceValue(NS::Number::number(false), toggle);
    auto shown = pane->readPreferenceValue(toggle).as<NS::Number>();
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->boolValue());
    pane->setPreferenceValue(nullptr, toggle);
    EXPECT_EQ(pane->readPreferenceValue(toggle), shown);
    PS::Specifier* keyless = row("Keyless", PS::SwitchCell, pane->self());
    keyless->setProperty(NS::Number::number(7), "default"_ns);
    pane->setPreferenceValue(NS::Number::number(1), keyless);
    EXPECT_EQ(pane->readPreferenceValue(keyless).as<NS::Number>()->intValue(), 7);
}

long cellTypeAsked = 0;

TEST_F(Panes, SectionsAreWorkedOutOnceForTheRowsTheyCameFrom) {
    static const bool built = [] {
        objc::ClassDefinition<PS::Specifier>("TestCountingSpecifier", "PSSpecifier")
            .method(PS::Specifier::cellType_,
                    [](PS::Specifier* self) -> long {
                        ++cellTypeAsked;
                        return PS::Specifier::cellType_.super<CountingSpecifier>(self);
                    })
            .build();
        return true;
    }();
    ASSERT_TRUE(built);
    auto counted = [](const char* name, long cell) {
        return objc::send<PS::Specifier*>(objc_lookUpClass("TestCountingSpecifier"),
                                          "preferenceSpecifierNamed:target:set:get:detail:cell:edit:"_sel,
                                          NS::String::string(name), nil, nullptr, nullptr, Nil, cell, 0L);
    };
    // 40 groups of 10 rows: a table view asks about every section and row of them.
    NS::MutableArray* rows = NS::MutableArray::array();
    for (int g = 0; g < 40; ++g) {
        rows->addObject(counted("Group", PS::GroupCell));
        for (int r = 0; r < 10; ++r) {
            rows->addObject(counted("Row", PS::StaticTextCell));
        }
    }
    pane->setSpecifiers(rows);
    pane->view();
    UI::TableView* table = pane->table();
    cellTypeAsked = 0;
    const long sections = pane->numberOfSections(table);
    long seen = 0;
    for (long s = 0; s < sections; ++s) {
        pane->titleForHeader(table, s);
        for (long r = 0; r < pane->numberOfRows(table, s); ++r) {
            seen += pane->specifierAtIndexPath(NS::IndexPath::indexPath(r, s)) != nullptr;
        }
        pane->titleForFooter(table, s);
    }
    EXPECT_EQ(sections, 40);
    EXPECT_EQ(seen, 400);
    EXPECT_LE(cellTypeAsked, static_cast<long>(rows->count())) << "each row's kind is asked once";

    // Rows added or taken away, or a new list, give new sections.
    rows->addObject(counted("Late", PS::StaticTextCell));
    EXPECT_EQ(pane->numberOfRows(table, 39), 11);
    EXPECT_EQ(str(pane->specifierAtIndexPath(NS::IndexPath::indexPath(10, 39)).as<PS::Specifier>()->name()),
              "Late");
    rows->removeObjectAtIndex(0);
    EXPECT_EQ(pane->numberOfSections(table), 40) << "the rows before the first group make a section";
    EXPECT_EQ(pane->numberOfRows(table, 0), 10);
    EXPECT_EQ(pane->titleForHeader(table, 0), nullptr);
    pane->setSpecifiers(NS::Array::arrayWithObjects({counted("Only", PS::GroupCell)}));
    EXPECT_EQ(pane->numberOfSections(table), 1);
    EXPECT_EQ(pane->numberOfRows(table, 0), 0);
    EXPECT_EQ(str(pane->titleForHeader(table, 0)), "Only");
    pane->setSpecifiers(nullptr);
    EXPECT_EQ(pane->numberOfSections(table), 0);
}

int notified = 0;
void countNotification(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
    ++notified;
}

TEST_F(Panes, OwnStorageWritesTheNamedDomainAndPostsTheRowsNotification) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/var/mobile";
    const std::string path = home + "/Library/Preferences/com.example.paneTests.plist";
    std::filesystem::remove(path);
    fillPane();
    toggle->setProperty("com.example.paneTests"_ns, "defaults"_ns);
    toggle->setProperty("com.example.paneTests/changed"_ns, "PostNotification"_ns);
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &notified, countNotification,
                                    "com.example.paneTests/changed"_ns, nullptr,
                                    CFNotificationSuspensionBehaviorCoalesce);
    auto other = NS::MutableDictionary::dictionary();
    other->setObjectForKey("kept"_ns, "other"_ns);
    ASSERT_TRUE(other->writeToFile(NS::String::string(path), true));

    pane->setPreferenceValue(NS::Number::number(false), toggle);
    auto stored = NS::Dictionary::dictionaryWithContentsOfFile(NS::String::string(path));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(str(NS::cast<NS::String>(stored->objectForKey("other"_ns))), "kept");
    auto value = NS::cast<NS::Number>(stored->objectForKey("toggle"_ns));
    ASSERT_NE(value, nullptr);
    EXPECT_FALSE(value->boolValue());
    EXPECT_FALSE(pane->readPreferenceValue(toggle).as<NS::Number>()->boolValue());

    for (int i = 0; i < 200 && notified == 0; ++i) {
        NS::RunLoopInternals::of(NS::RunLoop::mainRunLoop())->runFor(0.01);
    }
    EXPECT_EQ(notified, 1);
    CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &notified);
}

// A bundle folder of its own for each test, holding the specifier files the test writes.
class SpecifierFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "panes-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        pane = objc::adopt(objc::send<PS::ListController*>(objc_lookUpClass("TestPane"), "new"_sel));
        pane->setBundle(NS::Bundle::bundleWithPath(NS::String::string(folder)));
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void write(const char* name, NS::Object* plist) {
        ASSERT_TRUE(objc::send<bool>(plist, "writeToFile:atomically:"_sel,
                                     NS::String::string(folder + "/" + name + ".plist"), true));
    }
    NS::Dictionary* entry(std::initializer_list<NS::Object*> values,
                          std::initializer_list<NS::Object*> keys) {
        return NS::Dictionary::dictionaryWithObjects(values, keys);
    }

    NS::AutoreleaseScope pool;
    std::string folder;
    objc::Ref<PS::ListController> pane;
};

TEST_F(SpecifierFiles, EveryRowEntryBecomesASpecifierOfItsKind) {
    NS::Array* values = NS::Array::arrayWithObjects({NS::Number::number(0), NS::Number::number(1)});
    write(
        "Rows",
        NS::Dictionary::dictionaryWithObjects(
            {NS::Array::arrayWithObjects(
                {entry({"PSGroupCell"_ns, "Group"_ns, "below"_ns}, {"cell"_ns, "label"_ns, "footerText"_ns}),
                 entry({"PSSwitchCell"_ns, "Switch"_ns, "flag"_ns, NS::Number::number(true), "a/b"_ns},
                       {"cell"_ns, "label"_ns, "key"_ns, "default"_ns, "PostNotification"_ns}),
                 "not a row"_ns,
                 entry({"PSButtonCell"_ns, "Button"_ns, "tapped"_ns}, {"cell"_ns, "label"_ns, "action"_ns}),
                 entry({"PSLinkCell"_ns, "Link"_ns, "TestDetailPane"_ns},
                       {"cell"_ns, "label"_ns, "detail"_ns}),
                 entry({"PSLinkListCell"_ns, "Mode"_ns, values,
                        NS::Array::arrayWithObjects({"Zero"_ns, "One"_ns}),
                        NS::Array::arrayWithObjects({"0"_ns, "1"_ns})},
                       {"cell"_ns, "label"_ns, "validValues"_ns, "validTitles"_ns, "shortTitles"_ns})})},
            {"items"_ns}));
    NS::Array* rows = pane->loadSpecifiersFromPlistName("Rows"_ns, pane->self());
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->count(), 5u) << "entries that are not dictionaries are passed over";
    auto at = [&](unsigned long i) { return rows->objectAtIndex(i).as<PS::Specifier>(); };

    EXPECT_EQ(at(0)->cellType(), PS::GroupCell);
    EXPECT_EQ(str(NS::cast<NS::String>(at(0)->propertyForKey("footerText"_ns))), "below");
    EXPECT_EQ(at(1)->cellType(), PS::SwitchCell);
    EXPECT_EQ(str(at(1)->name()), "Switch");
    EXPECT_EQ(at(1)->target(), pane->self());
    EXPECT_EQ(at(1)->getter(), "readPreferenceValue:"_sel.get());
    EXPECT_EQ(at(1)->setter(), "setPreferenceValue:specifier:"_sel.get());
    EXPECT_EQ(str(NS::cast<NS::String>(at(1)->propertyForKey("PostNotification"_ns))), "a/b");
    EXPECT_EQ(at(2)->buttonAction(), "tapped"_sel.get());
    EXPECT_EQ(at(2)->getter(), nullptr);
    EXPECT_EQ(at(3)->detailControllerClass(), objc_lookUpClass("TestDetailPane"));
    EXPECT_EQ(str(NS::cast<NS::String>(at(4)->titleDictionary()->objectForKey(NS::Number::number(1)))),
              "One");
    EXPECT_EQ(str(NS::cast<NS::String>(at(4)->shortTitleDictionary()->objectForKey(NS::Number::number(0)))),
              "0");
    EXPECT_EQ(at(4)->values()->count(), 2u);
}

TEST_F(SpecifierFiles, AMissingOrFormlessFileGivesNoRows) {
    EXPECT_EQ(pane->loadSpecifiersFromPlistName("Missing"_ns, pane->self()), nullptr);
    write("NoItems", NS::Dictionary::dictionaryWithObjects({"Pane"_ns}, {"title"_ns}));
    EXPECT_EQ(pane->loadSpecifiersFromPlistName("NoItems"_ns, pane->self()), nullptr);
    write("NotAList", NS::Dictionary::dictionaryWithObjects({"rows"_ns}, {"items"_ns}));
    EXPECT_EQ(pane->loadSpecifiersFromPlistName("NotAList"_ns, pane->self()), nullptr);
    write("Empty", NS::Dictionary::dictionaryWithObjects({NS::Array::array()}, {"items"_ns}));
    NS::Array* empty = pane->loadSpecifiersFromPlistName("Empty"_ns, pane->self());
    ASSERT_NE(empty, nullptr) << "an empty list is a list";
    EXPECT_EQ(empty->count(), 0u);
    pane->setBundle(nullptr);
    EXPECT_EQ(pane->loadSpecifiersFromPlistName("Empty"_ns, pane->self()), nullptr);
}

TEST_F(SpecifierFiles, AGroupFooterThatIsNoTextIsNotShown) {
    write("Footers", NS::Dictionary::dictionaryWithObjects(
                         {NS::Array::arrayWithObjects(
                             {entry({"PSGroupCell"_ns, NS::Number::number(5)}, {"cell"_ns, "footerText"_ns}),
                              entry({"PSGroupCell"_ns, NS::Array::array()}, {"cell"_ns, "footerText"_ns}),
                              entry({"PSGroupCell"_ns, "shown"_ns}, {"cell"_ns, "footerText"_ns})})},
                         {"items"_ns}));
    pane->setSpecifiers(pane->loadSpecifiersFromPlistName("Footers"_ns, pane->self()));
    ASSERT_EQ(pane->numberOfSections(pane->table()), 3);
    EXPECT_EQ(pane->titleForFooter(pane->table(), 0), nullptr);
    EXPECT_EQ(pane->titleForFooter(pane->table(), 1), nullptr);
    EXPECT_EQ(str(pane->titleForFooter(pane->table(), 2)), "shown");
}

TEST_F(SpecifierFiles, SelectorsOfMemoryManagementAreRefused) {
    NS::MutableArray* items = NS::MutableArray::array();
    const std::vector<const char*> refused = {
        "release",     "dealloc", "retain", "autorelease",   "retainCount", "copy",
        "mutableCopy", "init",    "new",    ".cxx_destruct", "finalize",    "initWithStyle:"};
    for (const char* name : refused) {
        items->addObject(entry({"PSSwitchCell"_ns, NS::String::string(name), "flag"_ns,
                                NS::String::string(name), NS::String::string(name)},
                               {"cell"_ns, "label"_ns, "key"_ns, "get"_ns, "set"_ns}));
        items->addObject(entry({"PSButtonCell"_ns, NS::String::string(name), NS::String::string(name)},
                               {"cell"_ns, "label"_ns, "action"_ns}));
    }
    // Names that only begin like one of them are no such selector.
    items->addObject(
        entry({"PSButtonCell"_ns, "copyright"_ns, "copyright"_ns}, {"cell"_ns, "label"_ns, "action"_ns}));
    items->addObject(
        entry({"PSButtonCell"_ns, "newsletter:"_ns, "newsletter:"_ns}, {"cell"_ns, "label"_ns, "action"_ns}));
    write("Hostile", NS::Dictionary::dictionaryWithObjects({items}, {"items"_ns}));

    testing::internal::CaptureStderr();
    NS::Array* rows = pane->loadSpecifiersFromPlistName("Hostile"_ns, pane->self());
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->count(), refused.size() * 2 + 2);
    for (unsigned long i = 0; i < refused.size(); ++i) {
        auto control = rows->objectAtIndex(2 * i).as<PS::Specifier>();
        auto button = rows->objectAtIndex(2 * i + 1).as<PS::Specifier>();
        // A control keeps the host's own storage; a button gets no action.
        EXPECT_EQ(control->getter(), "readPreferenceValue:"_sel.get()) << refused[i];
        EXPECT_EQ(control->setter(), "setPreferenceValue:specifier:"_sel.get()) << refused[i];
        EXPECT_EQ(button->buttonAction(), nullptr) << refused[i];
        EXPECT_NE(said.find(std::string("\"") + refused[i] + "\""), std::string::npos) << said;
    }
    EXPECT_EQ(rows->objectAtIndex(refused.size() * 2).as<PS::Specifier>()->buttonAction(),
              "copyright"_sel.get());
    EXPECT_EQ(rows->objectAtIndex(refused.size() * 2 + 1).as<PS::Specifier>()->buttonAction(),
              "newsletter:"_sel.get());

    // Showing and tapping every row leaves the pane whole.
    pane->setSpecifiers(rows);
    pane->view();
    for (long r = 0; r < static_cast<long>(rows->count()); ++r) {
        auto path = NS::IndexPath::indexPath(r, 0);
        ASSERT_NE(pane->cellForRow(pane->table(), path), nullptr);
        pane->didSelectRow(pane->table(), path);
    }
    EXPECT_EQ(pane->numberOfRows(pane->table(), 0), static_cast<long>(rows->count()));
}

TEST(CellTypes, AreNamedAsInSpecifierFiles) {
    NS::AutoreleaseScope pool;
    EXPECT_EQ(PS::TableCell::cellTypeFromString("PSSwitchCell"_ns), PS::SwitchCell);
    EXPECT_EQ(PS::TableCell::cellTypeFromString("PSLinkListCell"_ns), PS::LinkListCell);
    EXPECT_EQ(PS::TableCell::cellTypeFromString("PSButtonCell"_ns), PS::ButtonCell);
    EXPECT_EQ(PS::TableCell::cellTypeFromString("PSNoSuchCell"_ns), -1);
    EXPECT_EQ(PS::TableCell::cellTypeFromString(nullptr), -1);
}

TEST(Specifiers, PropertiesAreChangedInPlaceAndNilRemovesOne) {
    NS::AutoreleaseScope pool;
    PS::Specifier* s = row("Name", PS::SwitchCell);
    NS::MutableDictionary* properties = s->properties();
    s->setProperty("isEnabled"_ns, "key"_ns);
    EXPECT_EQ(s->properties(), properties);
    EXPECT_EQ(str(NS::cast<NS::String>(properties->objectForKey("key"_ns))), "isEnabled");
    EXPECT_EQ(str(s->identifier()), "isEnabled");
    s->setProperty(nullptr, "key"_ns);
    EXPECT_EQ(s->propertyForKey("key"_ns), nullptr);
    EXPECT_EQ(str(s->identifier()), "Name");
}

} // namespace
