#include "MessageUI/MailMessage.hpp"

#include <gmime/gmime.h>

#include <memory>
#include <mutex>
#include <string_view>

namespace MF {
namespace {

// Owns one reference to a GObject.
struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T> using Owned = std::unique_ptr<T, Unref>;

struct FreeAddressOptions {
    void operator()(GMimeFormatOptions* options) const { g_mime_format_options_free(options); }
};

void startGMime() {
    // GMime's tables are made once and kept for the life of the process.
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// UTF-8 without NUL characters.
bool isText(std::string_view text) {
    return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// Adds the addresses in `text` to `list`; false when it holds none or one that does not parse.
bool addAddresses(InternetAddressList* list, const std::string& text) {
    if (hasLineBreak(text)) {
        return false;
    }
    Owned<InternetAddressList> parsed(internet_address_list_parse(nullptr, text.c_str()));
    if (!parsed || internet_address_list_length(parsed.get()) == 0) {
        return false;
    }
    for (int i = 0; i < internet_address_list_length(parsed.get()); ++i) {
        InternetAddress* address = internet_address_list_get_address(parsed.get(), i);
        // A group or an address without an "@" reaches no one.
        if (!INTERNET_ADDRESS_IS_MAILBOX(address) ||
            internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address)) == nullptr ||
            std::string_view(internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(address)))
                    .find('@') == std::string_view::npos) {
            return false;
        }
    }
    internet_address_list_append(list, parsed.get());
    return true;
}

Owned<GMimePart> attachmentPart(const MailAttachment& attachment, std::string& error) {
    Owned<GMimeContentType> type(g_mime_content_type_parse(nullptr, attachment.mimeType.c_str()));
    const std::string_view mimeType = attachment.mimeType;
    const std::size_t slash = mimeType.find('/');
    if (!type || hasLineBreak(mimeType) || slash == std::string_view::npos || slash == 0 ||
        slash + 1 == mimeType.size() || mimeType.find_first_of(" ;\"", 0) != std::string_view::npos) {
        error = "the attachment \"" + attachment.fileName + "\" has no type of the form type/subtype: \"" +
                attachment.mimeType + "\"";
        return nullptr;
    }
    if (attachment.fileName.empty() || hasLineBreak(attachment.fileName) ||
        attachment.fileName.find('/') != std::string::npos) {
        error =
            "an attachment needs a file name without line breaks or slashes: \"" + attachment.fileName + "\"";
        return nullptr;
    }
    Owned<GMimePart> part(g_mime_part_new_with_type(g_mime_content_type_get_media_type(type.get()),
                                                    g_mime_content_type_get_media_subtype(type.get())));
    g_mime_object_set_disposition(GMIME_OBJECT(part.get()), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part.get(), attachment.fileName.c_str());
    Owned<GMimeStream> content(
        g_mime_stream_mem_new_with_buffer(attachment.data.data(), attachment.data.size()));
    Owned<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(content.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), wrapper.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

Owned<GMimeTextPart> bodyPart(const std::string& body, bool html) {
    // The text goes in as it is: setting it as text would let GMime pick a narrower charset.
    Owned<GMimeTextPart> part(g_mime_text_part_new_with_subtype(html ? "html" : "plain"));
    Owned<GMimeStream> content(g_mime_stream_mem_new_with_buffer(body.data(), body.size()));
    Owned<GMimeDataWrapper> wrapper(
        g_mime_data_wrapper_new_with_stream(content.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(GMIME_PART(part.get()), wrapper.get());
    g_mime_text_part_set_charset(part.get(), "utf-8");
    // Quoted-printable keeps the text readable and its bytes exact: no line is too long for mail,
    // and no line ending is left to a reader's taste.
    g_mime_part_set_content_encoding(GMIME_PART(part.get()), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return part;
}

} // namespace

ComposedMail composeMail(const MailMessage& mail) {
    startGMime();
    if (!isText(mail.body)) {
        return {{}, "the body is not UTF-8 text"};
    }
    if (hasLineBreak(mail.subject) || !isText(mail.subject)) {
        return {{}, "the subject is not one line of UTF-8 text"};
    }
    Owned<GMimeMessage> message(g_mime_message_new(TRUE));
    if (mail.from.empty() || !addAddresses(g_mime_message_get_from(message.get()), mail.from)) {
        return {{}, "the sender is not a mail address: \"" + mail.from + "\""};
    }
    if (mail.to.empty()) {
        return {{}, "the mail has no recipient"};
    }
    for (const std::string& recipient : mail.to) {
        if (!addAddresses(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO), recipient)) {
            return {{}, "a recipient is not a mail address: \"" + recipient + "\""};
        }
    }
    g_mime_message_set_subject(message.get(), mail.subject.c_str(), "utf-8");
    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    char* id = g_mime_utils_generate_message_id("localhost");
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);

    Owned<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(bodyPart(mail.body, mail.html).get()));
    for (const MailAttachment& attachment : mail.attachments) {
        std::string error;
        Owned<GMimePart> part = attachmentPart(attachment, error);
        if (!part) {
            return {{}, error};
        }
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
    }
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));

    std::unique_ptr<GMimeFormatOptions, FreeAddressOptions> format(g_mime_format_options_new());
    g_mime_format_options_set_newline_format(format.get(), GMIME_NEWLINE_FORMAT_DOS);
    Owned<GMimeStream> out(g_mime_stream_mem_new());
    if (g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), format.get(), out.get()) < 0) {
        return {{}, "the message could not be written out"};
    }
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return {std::string(reinterpret_cast<const char*>(bytes->data), bytes->len), {}};
}

} // namespace MF
