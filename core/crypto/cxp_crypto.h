#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "core/bytes.h"
#include "core/crypto/p256_private_key.h"
#include "core/crypto/secret_bytes.h"

// The stateless primitives of the link protocol. Every function may run on any thread at any time.
// Failures of the cryptographic library are thrown as CryptoError; the only CXPError thrown here is
// open()'s "registro curto".
namespace velmora::CXPCrypto {

// Each byte as two lower-case hex digits, no separator.
std::string hex(ByteView data);

// `count` bytes from the system's cryptographic random source. Aborts the process if the source fails:
// bytes it did not fill must never become keys or nonces.
Bytes randomBytes(std::size_t count);

// SHA-256 of the concatenation of all parts, in order (no separators, no lengths).
Bytes sha256(std::initializer_list<ByteView> parts);
inline Bytes sha256(ByteView data) {
    return sha256({data});
}

// HKDF-SHA256 (RFC 5869). `length` must lie in 1..8160, else CryptoError. The output is key material.
SecretBytes hkdf(ByteView ikm, ByteView salt, ByteView info, std::size_t length);

// The raw 32-byte P-256 shared secret (x coordinate, unhashed). The peer key must be the 65-byte uncompressed
// X9.63 form of a point on the curve; anything else throws CryptoError.
SecretBytes ecdh(const P256PrivateKey& own, ByteView peerX963);

// AES-GCM without additional data: ciphertext followed by the 16-byte tag. Key of 16, 24 or 32 bytes,
// nonce of at least 12 bytes, else CryptoError.
Bytes seal(ByteView key, ByteView nonce, ByteView plaintext);

// Opens ciphertext||tag. Fewer than 16 bytes: CXPError::protocolError("registro curto"), before the key or
// nonce are looked at. A bad key, nonce or tag: CryptoError.
Bytes open(ByteView key, ByteView nonce, ByteView sealed);

// seal() without a copy: the plaintext given in parts (sealed as their concatenation), the ciphertext and tag
// written into `out`, which must be exactly the parts' total size + 16 bytes (else CryptoError). Lets the
// record layer seal a channel byte and a payload straight into its outgoing buffer.
void sealInto(ByteView key, ByteView nonce, std::initializer_list<ByteView> plaintext,
              std::span<std::uint8_t> out);

// open() where the bytes lie: on success the first sealed.size() - 16 bytes of `sealed` hold the plaintext
// and that size is returned. Same errors as open(); after one, the buffer's content is meaningless.
std::size_t openInPlace(ByteView key, ByteView nonce, std::span<std::uint8_t> sealed);

// ECDSA P-256 / SHA-256 check of a raw 64-byte r||s signature against a 65-byte uncompressed key. Any
// unparsable key or signature (DER, compressed key, wrong length) is simply false.
bool verify(ByteView pubX963, ByteView message, ByteView rawSignature);

// hex of the first 16 bytes of SHA-256 of the key bytes exactly as given: 32 lower-case hex digits.
std::string deviceId(ByteView pubX963);

// True when `key` has the only public key form the protocol sends: 65 bytes starting 0x04. OpenSSL would
// also take compressed and hybrid encodings, which the phone never sends.
bool isUncompressedX963(ByteView key);

}  // namespace velmora::CXPCrypto
