// Fuzzes specifier files: any bytes as a pane's specifier file load as rows (or none), and the pane
// shows the headers, footers and first rows they make without a crash.
#include "FuzzScratch.hpp"

#include "Foundation/Foundation.hpp"
#include "Preferences/PSListController.hpp"
#include "UIKit/NSIndexPath.hpp"
#include "UIKit/UITableView.hpp"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Scratch scratch;
    NS::AutoreleaseScope pool;
    scratch.write("Fuzz.plist", data, size);
    objc::Ref<PS::ListController> pane = objc::adopt(PS::ListController::make());
    pane->setBundle(NS::Bundle::bundleWithPath(NS::String::string(std::string_view(scratch.path()))));
    NS::Array* rows =
        pane->loadSpecifiersFromPlistName(NS::String::string(std::string_view("Fuzz")), pane->self());
    if (rows == nullptr) {
        return 0;
    }
    pane->setSpecifiers(rows);
    UI::TableView* table = pane->table();
    // A screenful of rows: showing each row of a long pane is not what this target is after.
    long shown = 0;
    const long sections = pane->numberOfSections(table);
    for (long section = 0; section < sections; ++section) {
        pane->titleForHeader(table, section);
        pane->titleForFooter(table, section);
        pane->viewForHeader(table, section);
        pane->viewForFooter(table, section);
        const long count = pane->numberOfRows(table, section);
        for (long row = 0; row < count && shown < 64; ++row, ++shown) {
            NS::IndexPath* at = NS::IndexPath::indexPath(row, section);
            pane->specifierAtIndexPath(at);
            pane->cellForRow(table, at);
        }
    }
    return 0;
}
