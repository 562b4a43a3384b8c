// The outbox: each sent mail becomes one new ".eml" file in the device's outbox folder.
#pragma once

#include "MessageUI/MailMessage.hpp"

#include <functional>
#include <string>
#include <string_view>

namespace MF {

// Where sent mail goes: the folder `folder` below `base` ("/var/mobile/Library/Mail/Outbox"). The
// user's home is the base: only the system can replace it, while the user may replace anything in it.
struct Outbox {
    std::string base = "/var/mobile";
    std::string folder = "Library/Mail/Outbox";
};

// A mail placed in the outbox, or why it was not.
struct QueuedMail {
    std::string path;  // the new file, as `base` spells it
    std::string error; // empty when `path` names the new file
};

// Names to try for a new mail, without ".eml"; each call gives another.
using MailNames = std::function<std::string()>;

// A fresh random name, led by the time so that the outbox lists in sending order.
[[gnu::visibility("default")]] std::string randomMailName();

// Writes `bytes` as a new file in `outbox`, mode 0644, appearing whole or not at all: into a
// temporary ".NAME.part" made there with O_EXCL, flushed, then renamed to "NAME.eml" only if that
// name is free. The outbox folders are made when missing; no link below `base` is followed, and
// nothing is written through or over one: a taken name is passed over for the next from `names`.
// Temporaries that writers killed before they were done left behind are removed on the way.
[[gnu::visibility("default")]] QueuedMail writeToOutbox(std::string_view bytes, const Outbox& outbox = {},
                                                        const MailNames& names = randomMailName);

// `mail` composed and written to `outbox`.
[[gnu::visibility("default")]] QueuedMail sendToOutbox(const MailMessage& mail, const Outbox& outbox = {});

} // namespace MF
