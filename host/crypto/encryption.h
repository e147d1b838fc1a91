// The Encryption class: digests, text ciphers and enciphered files for scripts.
#pragma once

namespace vorlo {

struct ScriptVM;
void registerEncryption(ScriptVM* vm);

}  // namespace vorlo
