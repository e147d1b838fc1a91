// The mail classes: Mail (one message as MIME text and its parts), SendMail (SMTP) and RecvMail
// (POP3).
#pragma once
#include <string>

#include "engine/value.h"

namespace vorlo {

struct ScriptVM;

// Binds Mail, SendMail and RecvMail.
void registerMail(ScriptVM* vm);

namespace mail {
// The message text of a Mail value (regenerated first when its headers or parts changed); false
// for anything that is not a Mail.
bool mailText(ScriptVM* vm, const ScriptValue& value, std::string* text, std::string* from, std::string* to,
              std::string* cc, std::string* bcc);
// A new Mail holding a received message, parsed.
ScriptValue makeMail(ScriptVM* vm, std::string message);
}  // namespace mail

}  // namespace vorlo
