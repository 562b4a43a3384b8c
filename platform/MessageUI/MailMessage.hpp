// A mail as the composer sends it, and its making into an RFC 5322 MIME message.
#pragma once

#include <string>
#include <vector>

namespace MF {

struct MailAttachment {
    std::string fileName;
    std::string mimeType; // "type/subtype"
    std::string data;     // the bytes, sent as they are
};

struct MailMessage {
    std::string from;            // the sending account: "Name <address>" or a bare address
    std::vector<std::string> to; // each "Name <address>" or a bare address
    std::string subject;
    std::string body;  // UTF-8 text
    bool html = false; // the body is HTML rather than plain text
    std::vector<MailAttachment> attachments;
};

// The text of a message, or why none could be made.
struct ComposedMail {
    std::string bytes;
    std::string error; // empty when `bytes` holds the message
};

// `mail` as a multipart/mixed message with a date and a message id: the body as its first part, then
// each attachment in order, base64-encoded, under its file name and type. Lines end in CRLF. A
// missing sender or recipient, an address that does not parse, a header text with a line break or
// a type that is not "type/subtype" is an error, and no message is made.
[[gnu::visibility("default")]] ComposedMail composeMail(const MailMessage& mail);

} // namespace MF
