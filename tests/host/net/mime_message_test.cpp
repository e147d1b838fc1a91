#include <gtest/gtest.h>

#include <string>

#include "host/mail/mime_message.h"

namespace vorlo::mail {
namespace {

GenerateOptions options() {
  GenerateOptions o;
  o.boundary = [n = 0]() mutable { return "====_QUORIL_MAIL_PART_1.2." + std::to_string(++n) + "_===="; };
  return o;
}

TEST(MimeHeaders, FieldsStartLinesAndUnfold) {
  std::string block =
      "Reply-To: reply@example.test\r\n"
      "to: first@example.test,\r\n\tsecond@example.test\r\n"
      "X-Subject: not this\r\n"
      "Subject:   spaced  \r\n";
  EXPECT_EQ(headerValue(block, "To"), "first@example.test, second@example.test");
  EXPECT_EQ(headerValue(block, "Subject"), "spaced");
  EXPECT_EQ(headerValue(block, "Cc"), std::nullopt);
  EXPECT_EQ(headerParameter("text/plain; charset=\"a;b\"; name=x.txt", "name"), "x.txt");
  EXPECT_EQ(headerParameter("attachment; filename=\"f.bin\"", "name"), std::nullopt);  // not "filename"
  EXPECT_EQ(headerParameter("attachment; filename=\"f.bin\"", "filename"), "f.bin");
}

TEST(MimeMessage, HeadersAreOneLineEach) {
  MailHeaders h;
  h.from = "me@example.test\r\nBcc: victim@example.test";
  h.to = "you@example.test";
  h.subject = "Hi";
  std::string text = generateHeaders(h, options());
  EXPECT_EQ(text.find("\r\nBcc:"), std::string::npos);
  EXPECT_NE(text.find("From: me@example.test  Bcc: victim@example.test\r\n"), std::string::npos);
  EXPECT_NE(text.find("X-Priority: 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("X-Mailer: Quoril.Vorlo\r\n"), std::string::npos);
}

// Every body shape, generated and read back: the same parts come out.
TEST(MimeMessage, EveryShapeReadsBack) {
  struct Shape {
    bool text, html, item, file;
  };
  const Shape shapes[] = {{true, false, false, false}, {true, false, false, true}, {false, true, true, false},
                          {true, true, false, true},   {true, true, true, true},   {false, false, true, true}};
  for (const Shape& s : shapes) {
    SCOPED_TRACE(std::to_string(s.text) + std::to_string(s.html) + std::to_string(s.item) + std::to_string(s.file));
    MailHeaders h;
    h.from = "a@example.test";
    h.to = "b@example.test";
    h.subject = "S\xe9lection";
    h.priority = 2;
    MessageBody b;
    if (s.text) b.text = textPart("text/plain", "Hello\r\n.\r\n.leading dot\r\nBcc: body line");
    if (s.html) b.html = textPart("text/html", "<p>Hi</p>");
    if (s.item) {
      b.htmlItems.push_back(filePart("image/png", "pic.png", std::string("\x89PNG\0\1", 6)));
      b.htmlItems.back().contentId = "pic1";
    }
    if (s.file) b.attachments.push_back(filePart("application/octet-stream", "data.bin", std::string(1000, '\x01')));
    std::string message = generateMessage(h, b, options());
    ParsedMessage p = parseMessage(message);
    EXPECT_EQ(p.headers.subject, "S\xe9lection");
    EXPECT_EQ(p.headers.priority, 2);
    ASSERT_TRUE(p.body.text);  // an empty one when the message has none of its own
    if (s.text) {
      EXPECT_EQ(decodeBody(p.body.text->body, p.body.text->encoding), "Hello\r\n.\r\n.leading dot\r\nBcc: body line");
    }
    EXPECT_EQ(p.body.html.has_value(), s.html);
    if (s.html) {
      EXPECT_EQ(decodeBody(p.body.html->body, p.body.html->encoding), "<p>Hi</p>");
    }
    // An html item needs an html part before it; without one it is read as an attachment.
    size_t items = s.item && s.html ? 1 : 0;
    ASSERT_EQ(p.body.htmlItems.size(), items);
    if (items) {
      EXPECT_EQ(p.body.htmlItems[0].name, "pic.png");
      EXPECT_EQ(p.body.htmlItems[0].contentId, "pic1");
      EXPECT_EQ(decodeBody(p.body.htmlItems[0].body, Encoding::Base64), std::string("\x89PNG\0\1", 6));
    }
    ASSERT_EQ(p.body.attachments.size(), (s.file ? 1u : 0u) + (s.item && !s.html ? 1u : 0u));
    if (s.file) {
      const BodyPart& a = p.body.attachments.back();
      EXPECT_EQ(a.name, "data.bin");
      EXPECT_EQ(a.contentType, "application/octet-stream");
      EXPECT_EQ(decodeBody(a.body, a.encoding), std::string(1000, '\x01'));
    }
  }
}

TEST(MimeMessage, ForeignMessages) {
  // No Content-Type: plain text; a part without a name gets a numbered one; a deep nest stops.
  ParsedMessage plain = parseMessage("From: x\r\nReply-To: r@example.test\r\nX-Priority: 1 (Highest)\r\n\r\nbody");
  ASSERT_TRUE(plain.body.text);
  EXPECT_EQ(plain.body.text->body, "body");
  EXPECT_EQ(plain.headers.to, std::nullopt);
  EXPECT_EQ(plain.headers.priority, 1);

  std::string nested = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
  for (int i = 1; i < 20; ++i)
    nested += "--b" + std::to_string(i - 1) + "\r\nContent-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\r\n\r\n";
  nested += "--b19\r\nContent-Type: text/plain\r\n\r\ndeep\r\n--b19--\r\n";
  ParsedMessage deep = parseMessage(nested);
  EXPECT_FALSE(deep.body.text);
  ASSERT_EQ(deep.body.attachments.size(), 1u);
  EXPECT_EQ(deep.body.attachments[0].name, "attachment 1");

  ParsedMessage noName = parseMessage(
      "Content-Type: multipart/mixed; boundary=\"x\"\r\n\r\n--x\r\n\r\nfirst\r\n--x\r\nContent-Type: application/zip\r\n\r\nPK\r\n--x--\r\n");
  ASSERT_TRUE(noName.body.text);
  EXPECT_EQ(noName.body.text->body, "first");
  ASSERT_EQ(noName.body.attachments.size(), 1u);
  EXPECT_EQ(noName.body.attachments[0].name, "attachment 1");
  EXPECT_EQ(noName.body.attachments[0].body, "PK");

  // Truncated and malformed input reads what is there.
  for (const char* bad : {"", "\r\n\r\n", "Content-Type: multipart/mixed; boundary=", "Content-Type: multipart/x; boundary=q\r\n\r\n--q",
                          "Content-Type: multipart/x; boundary=q\r\n\r\n--q\r\nContent-Type: multipart/y; boundary=\"q\r\n\r\n--q\r\n"})
    parseMessage(bad);
}

}  // namespace
}  // namespace vorlo::mail
