#include "GlintmereListController.hpp"

#include "BMGlintmereCustomHeaderView.hpp"
#include "BMGlintmereLogoTableCell.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSData.hpp"
#include "Foundation/NSString.hpp"
#include "Foundation/NSTimer.hpp"
#include "MessageUI/MFMailComposeViewController.hpp"
#include "MobileGestalt/MobileGestalt.h"
#include "PackageListing.hpp"
#include "ShareButton.hpp"
#include "UIKit/UIAlertController.hpp"
#include "UIKit/UIAlertView.hpp"
#include "UIKit/UIImage.hpp"
#include "UIKit/UIImageView.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UITableView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

using NS::literals::operator""_ns;
using Pane = GlintmereListController;

// An attachment larger than this is no preferences file or package listing, and
// is left out.
constexpr std::size_t kAttachmentLimit = 16 * 1024 * 1024;

// A device fact as MobileGestalt answers it; "unknown" where it does not.
std::string deviceFact(const char* question) {
    auto answer = objc::adopt(MGCopyAnswer(NS::String::string(question)));
    auto text = NS::cast<NS::String>(answer.get());
    return text != nullptr ? text->str() : "unknown";
}

// Whether a link at an attachment's path is followed to the file it names.
enum class Links { Follow, Refuse };

// The bytes of the regular file at `path`, nil when it cannot be read. The
// preferences file is read through a link, as every other reader of it reads it;
// a link at the scratch listing is not followed: what it points at is not ours to
// mail.
objc::Ptr<NS::Data> readAttachment(const char* path, Links links) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0));
    if (fd < 0) {
        return nullptr;
    }
    struct stat about {};
    std::string bytes;
    bool whole = fstat(fd, &about) == 0 && S_ISREG(about.st_mode);
    char buffer[65536];
    while (whole) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            whole = n == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        whole = bytes.size() <= kAttachmentLimit;
    }
    close(fd);
    return whole ? NS::Data::dataWithBytes(bytes.data(), bytes.size()) : nullptr;
}

// Where no composer can be made, the person learns why and where to write
// instead.
void showNoMailAccount(Pane* self) {
    const std::string message =
        std::string("No mail account is set up on this device. Set one up in Settings, "
                    "or write to ") +
        glintmere::kSupportAddress + " from any other mail app.";
    // iOS 7 has no alert controller; its alert is an alert view.
    if (UI::AlertController::runtimeClass() == Nil) {
        auto alert = objc::adopt(UI::AlertView::alloc()->initWithTitle(
            "Cannot Send Mail"_ns, NS::String::string(message), nullptr, "OK"_ns, nullptr));
        alert->show();
        return;
    }
    auto alert = UI::AlertController::alertControllerWithTitle(
        "Cannot Send Mail"_ns, NS::String::string(message), UI::UIAlertControllerStyleAlert);
    alert->addAction(UI::AlertAction::actionWithTitle("OK"_ns, UI::UIAlertActionStyleCancel, nullptr));
    self->navigationController()->presentViewController(alert, true, nullptr);
}

void emailBM(Pane* self) {
    // The composer's header asks every caller to check first.
    if (!MF::MailComposeViewController::canSendMail()) {
        showNoMailAccount(self);
        return;
    }
    auto composer = objc::adopt(MF::MailComposeViewController::alloc()->init());
    if (composer == nullptr) {
        showNoMailAccount(self);
        return;
    }
    composer->setSubject("Glintmere Support"_ns);
    composer->setToRecipients(NS::Array::arrayWithObject(NS::String::string(glintmere::kSupportRecipient)));
    const std::string type = deviceFact("ProductType");
    const std::string version = deviceFact("ProductVersion");
    const std::string build = deviceFact("BuildVersion");
    const std::string body = "\n\nCurrent Device: " + type + ", iOS " + version + " (" + build + ")";
    composer->setMessageBody(NS::String::string(body), false);
    // An attachment's data must not be nil: a file that cannot be read is left out.
    if (auto preferences = readAttachment(glintmere::kMailedPreferencesPath, Links::Follow)) {
        composer->addAttachmentData(preferences, "application/xml"_ns, "GlintmerePrefs.plist"_ns);
    }
    // Made afresh for each mail, so that it carries the packages installed at
    // this moment. One given up at its limits is empty: the mail goes without.
    glintmere::writePackageListing();
    auto listing = readAttachment(glintmere::kPackageListingPath, Links::Refuse);
    if (listing != nullptr && listing->length() > 0) {
        composer->addAttachmentData(listing, "text/plain"_ns, "dpkgl.txt"_ns);
    }
    self->navigationController()->presentViewController(composer, true, nullptr);
    composer->setMailComposeDelegate(self);
}

// The section above which the pane shows its header, and that header's height.
constexpr long kHeaderSection = 0;
constexpr CGFloat kHeaderHeight = 140.0;
// The section below which the pane shows the logo.
constexpr long kLogoSection = 3;
// The title logo shows nothing for this long after the view has loaded, then fades in over as long.
constexpr double kTitleLogoDelay = 0.5;
constexpr double kTitleLogoFade = 0.5;

// The title logo, invisible until the timer fades it in.
void viewDidLoad(Pane* self) {
    auto logo = UI::Image::imageWithContentsOfFile(NS::String::string(glintmere::kTitleLogoPath))
                    ->imageWithRenderingMode(UI::ImageRenderingModeAlwaysTemplate);
    auto logoView = objc::adopt(UI::ImageView::alloc()->initWithImage(logo));
    self->navigationItem()->setTitleView(logoView.get());
    self->navigationItem()->titleView()->setAlpha(0.0);
    UI::ViewController::viewDidLoad_.super<Pane>(self);
    NS::Timer::scheduledTimerWithTimeInterval(kTitleLogoDelay, self, Pane::increaseAlpha_.selector(), nullptr,
                                              false);
}

void increaseAlpha(Pane* self) {
    // The step keeps the pane until it has run.
    auto step = NS::Block::create(
        [pane = objc::retain(self)] { pane->navigationItem()->titleView()->setAlpha(1.0); });
    UI::View::animateWithDuration(kTitleLogoFade, step, nullptr);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<GlintmereListController>()
        .protocol("MFMailComposeViewControllerDelegate")
        // Loads the rows once; the field keeps them (and their ownership) for the
        // life of the pane.
        .method(PS::ListController::specifiers_,
                [](Pane* self) -> NS::Array* {
                    NS::Array* rows = glintmere::cachedSpecifiers(self, "Glintmere"_ns);
                    return rows;
                })
        .method(UI::ViewController::loadView_,
                [](Pane* self) {
                    UI::ViewController::loadView_.super<Pane>(self);
                    glintmere::installShareButton(self);
                })
        .method<&viewDidLoad>(UI::ViewController::viewDidLoad_)
        .method<&increaseAlpha>(Pane::increaseAlpha_)
        .method(Pane::tweetSupport_,
                [](Pane* self, id) { glintmere::presentTwitterComposer(self, glintmere::kShareText); })
        // A new header on every request, so that each time the table lays out the header it draws a
        // new random line; the table holds it, the pane does not.
        .method(PS::ListController::tableViewViewForHeaderInSection_,
                [](Pane*, UI::TableView*, long section) -> UI::View* {
                    if (section != kHeaderSection) {
                        return nullptr;
                    }
                    return BMGlintmereCustomHeaderView::alloc()->init()->autorelease();
                })
        // Likewise a new logo below the fourth section on every request.
        .method(PS::ListController::tableViewViewForFooterInSection_,
                [](Pane*, UI::TableView*, long section) -> UI::View* {
                    if (section != kLogoSection) {
                        return nullptr;
                    }
                    return BMGlintmereLogoTableCell::alloc()->init()->autorelease();
                })
        .method(PS::ListController::tableViewHeightForHeaderInSection_,
                [](Pane*, UI::TableView*, long section) -> double {
                    return section == kHeaderSection ? kHeaderHeight : UI::TableViewAutomaticDimension;
                })
        .method<&emailBM>(Pane::emailBM_)
        .method(Pane::mailComposeControllerDidFinishWithResultError_,
                [](Pane* self, MF::MailComposeViewController*, MF::MailComposeResult, NS::Object*) {
                    self->dismissViewController(true, nullptr);
                })
        .build();
}

} // namespace
