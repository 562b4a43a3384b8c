#include "../../../tests/support/Files.hpp"
#include "MessageUI/MailOutbox.hpp"
#include "support/Subprocess.hpp"

#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>

namespace {

using testing_support::hex;
using testing_support::readAll;

namespace fs = std::filesystem;
using testing_support::runProcess;

std::string everyByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes + "\r\n\n\r.\nFrom \n--";
}

MF::MailMessage supportMail() {
    MF::MailMessage mail;
    mail.from = "mobile@device.example";
    mail.to = {"Brightmoth <support@brightmoth.example>"};
    mail.subject = "Glintmere Support";
    mail.body = "\n\nCurrent Device: iPhone10,3, iOS 11.0 (15A372)";
    mail.attachments = {{"GlintmerePrefs.plist", "application/xml", "<?xml version=\"1.0\"?>\n<plist/>\n"},
                        {"dpkgl.txt", "text/plain", everyByte()}};
    return mail;
}

// What Python's mail parser makes of the file at `path`, one field a line, texts in hex.
std::vector<std::string> parsedByPython(const std::string& path) {
    const char* script = R"(
import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)
h = lambda b: b.hex()
print('defects', len(m.defects) + sum(len(p.defects) for p in m.walk()))
print('subject', h(str(m['subject']).encode()))
print('to', h(str(m['to']).encode()))
print('type', m.get_content_type())
body = m.get_body(preferencelist=('plain',))
print('body', h(body.get_content().encode()))
for a in m.iter_attachments():
    print('attachment', h(a.get_filename().encode()), a.get_content_type(), a['content-transfer-encoding'], h(a.get_payload(decode=True)))
)";
    const auto outcome = runProcess({"python3", "-c", script, path});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::vector<std::string> lines;
    std::istringstream out(outcome.out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A folder for one test, away from the device's outbox.
fs::path freshFolder(const std::string& name) {
    const fs::path folder = fs::path("/tmp/mail-tests") / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

TEST(MailOutbox, SentMailIsOneMimeFileThatPythonReadsBackExactly) {
    const MF::QueuedMail queued = MF::sendToOutbox(supportMail());
    ASSERT_EQ(queued.error, "");
    EXPECT_TRUE(queued.path.starts_with("/var/mobile/Library/Mail/Outbox/")) << queued.path;
    EXPECT_TRUE(queued.path.ends_with(".eml"));
    struct stat about {};
    ASSERT_EQ(::lstat(queued.path.c_str(), &about), 0);
    EXPECT_TRUE(S_ISREG(about.st_mode));
    EXPECT_EQ(about.st_mode & 07777, 0644u);

    const MF::MailMessage mail = supportMail();
    EXPECT_EQ(parsedByPython(queued.path),
              (std::vector<std::string>{
                  "defects 0",
                  "subject " + hex(mail.subject),
                  "to " + hex("Brightmoth <support@brightmoth.example>"),
                  "type multipart/mixed",
                  "body " + hex(mail.body),
                  "attachment " + hex("GlintmerePrefs.plist") + " application/xml base64 " +
                      hex(mail.attachments[0].data),
                  "attachment " + hex("dpkgl.txt") + " text/plain base64 " + hex(mail.attachments[1].data),
              }));
    // Lines end as mail requires them to.
    const std::string text = readAll(queued.path);
    EXPECT_NE(text.find("\r\nSubject: Glintmere Support\r\n"), std::string::npos);
    EXPECT_EQ(text.find_first_of('\n'), text.find("\r\n") + 1);
}

TEST(MailOutbox, GMimeReadsBackWhatWasComposed) {
    MF::MailMessage mail = supportMail();
    mail.subject = "Glintmere Support – Größe";
    mail.body = "Grüße\n\nline two\n";
    mail.to.push_back("second@brightmoth.example");
    const MF::ComposedMail composed = MF::composeMail(mail);
    ASSERT_EQ(composed.error, "");

    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(composed.bytes.data(), composed.bytes.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(g_mime_message_get_subject(message), mail.subject.c_str());
    char* to = internet_address_list_to_string(g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO),
                                               nullptr, FALSE);
    EXPECT_STREQ(to, "Brightmoth <support@brightmoth.example>, second@brightmoth.example");
    g_free(to);
    EXPECT_NE(g_mime_message_get_date(message), nullptr);
    EXPECT_NE(g_mime_message_get_message_id(message), nullptr);

    GMimeObject* top = g_mime_message_get_mime_part(message);
    ASSERT_TRUE(GMIME_IS_MULTIPART(top));
    GMimeMultipart* parts = GMIME_MULTIPART(top);
    ASSERT_EQ(g_mime_multipart_get_count(parts), 3);
    GMimeObject* body = g_mime_multipart_get_part(parts, 0);
    ASSERT_TRUE(GMIME_IS_TEXT_PART(body));
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(body));
    // A reader of mail gives back the text's lines with its own line ends.
    std::string got = text;
    g_free(text);
    std::erase(got, '\r');
    EXPECT_EQ(got, mail.body);
    for (int i = 0; i < 2; ++i) {
        GMimeObject* object = g_mime_multipart_get_part(parts, i + 1);
        ASSERT_TRUE(GMIME_IS_PART(object));
        GMimePart* part = GMIME_PART(object);
        EXPECT_STREQ(g_mime_part_get_filename(part), mail.attachments[i].fileName.c_str());
        char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
        EXPECT_STREQ(type, mail.attachments[i].mimeType.c_str());
        g_free(type);
        EXPECT_EQ(g_mime_part_get_content_encoding(part), GMIME_CONTENT_ENCODING_BASE64);
        GMimeStream* decoded = g_mime_stream_mem_new();
        g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), decoded);
        GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes->data), bytes->len),
                  mail.attachments[i].data);
        g_object_unref(decoded);
    }
    g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
}

TEST(MailOutbox, BadMailIsRefusedAndNothingIsWritten) {
    const fs::path base = freshFolder("bad");
    const auto refused = [&](MF::MailMessage mail, const std::string& says) {
        const MF::QueuedMail queued = MF::sendToOutbox(mail, {base, "Outbox"});
        EXPECT_EQ(queued.path, "");
        EXPECT_NE(queued.error.find(says), std::string::npos) << queued.error;
    };
    MF::MailMessage mail = supportMail();
    mail.to.clear();
    refused(mail, "no recipient");
    mail.to = {"Brightmoth support"};
    refused(mail, "not a mail address");
    mail = supportMail();
    mail.from = "";
    refused(mail, "sender");
    mail = supportMail();
    mail.subject = "Support\r\nBcc: everyone@example.org";
    refused(mail, "subject");
    mail = supportMail();
    mail.body = "\xff\xfe";
    refused(mail, "body");
    mail = supportMail();
    mail.attachments[1].mimeType = "text";
    refused(mail, "type/subtype");
    mail = supportMail();
    mail.attachments[0].fileName = "../prefs.plist";
    refused(mail, "file name");
    EXPECT_FALSE(fs::exists(base / "Outbox"));
}

TEST(MailOutbox, EachMailGetsANameOfItsOwn) {
    const fs::path base = freshFolder("names");
    const MF::ComposedMail composed = MF::composeMail(supportMail());
    std::set<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        const MF::QueuedMail queued = MF::writeToOutbox(composed.bytes, {base, "Mail/Outbox"});
        ASSERT_EQ(queued.error, "");
        paths.insert(queued.path);
        EXPECT_EQ(readAll(queued.path), composed.bytes);
    }
    EXPECT_EQ(paths.size(), 5u);
    EXPECT_EQ(std::distance(fs::directory_iterator(base / "Mail/Outbox"), fs::directory_iterator()), 5);
}

TEST(MailOutbox, TemporariesOfKilledWritersGoButNotThoseOfLiveOnes) {
    const fs::path outbox = freshFolder("stale") / "Outbox";
    fs::create_directories(outbox);
    std::ofstream(outbox / ".killed.part") << "half a mail";
    std::ofstream(outbox / ".writing.part") << "half a mail";
    std::ofstream(outbox / "notes.part") << "not a temporary";
    fs::create_symlink("/var/mobile/Library/Preferences", outbox / ".linked.part");
    // A writer still at work holds a lock on its temporary.
    const int writing = ::open((outbox / ".writing.part").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writing, LOCK_EX), 0);
    const MF::QueuedMail queued = MF::writeToOutbox("mail", {outbox.parent_path(), "Outbox"});
    ::close(writing);
    ASSERT_EQ(queued.error, "");
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(outbox)) {
        left.insert(entry.path().filename());
    }
    EXPECT_EQ(left, (std::set<std::string>{".writing.part", "notes.part", ".linked.part",
                                           fs::path(queued.path).filename()}));
}

TEST(MailOutbox, PlantedLinksAreNeitherFollowedNorReplaced) {
    const fs::path base = freshFolder("links");
    const fs::path elsewhere = freshFolder("elsewhere");
    fs::create_directories(base / "Outbox");
    std::ofstream(elsewhere / "precious") << "precious";
    // At the temporary of the first name and at the mail of the second.
    fs::create_symlink(elsewhere / "precious", base / "Outbox/.first.part");
    fs::create_symlink(elsewhere / "missing", base / "Outbox/second.eml");
    const std::vector<std::string> names = {"first", "second", "third"};
    std::size_t next = 0;
    const MF::QueuedMail queued = MF::writeToOutbox(
        "mail", {base, "Outbox"}, [&] { return names[std::min(next++, names.size() - 1)]; });
    ASSERT_EQ(queued.error, "");
    EXPECT_EQ(queued.path, (base / "Outbox/third.eml").string());
    EXPECT_EQ(readAll(queued.path), "mail");
    EXPECT_EQ(readAll(elsewhere / "precious"), "precious");
    EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere / "missing")));
    EXPECT_TRUE(fs::is_symlink(base / "Outbox/.first.part"));
    EXPECT_TRUE(fs::is_symlink(base / "Outbox/second.eml"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(base / "Outbox/.second.part")));

    // At the outbox itself, and at a folder on the way to it.
    fs::create_symlink(elsewhere, base / "Planted");
    fs::create_directories(base / "Mail");
    fs::create_symlink(elsewhere, base / "Mail/Outbox");
    for (const char* folder : {"Planted", "Mail/Outbox", "Planted/Outbox"}) {
        const MF::QueuedMail refused = MF::writeToOutbox("mail", {base, folder});
        EXPECT_EQ(refused.path, "");
        EXPECT_NE(refused.error.find("a link or a file stands where a folder belongs"), std::string::npos)
            << refused.error;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
}

} // namespace
