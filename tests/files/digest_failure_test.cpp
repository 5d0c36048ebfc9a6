// The crypto library fails the digest of a received file: that transfer ends with "file.done" ok false and
// its temporary file gone, and the session carries on with the next transfer.
#include <dlfcn.h>
#include <openssl/evp.h>

#include "core/l10n/l10n.h"
#include "files/files_story.h"

namespace {

// Set on the test's thread only: the model hashes a finished file on the thread that wrote its last record,
// which here is the test's own; every other digest in the process goes to the library.
thread_local bool failDigests = false;

}  // namespace

// This program's definition comes before the shared library's; the library's own is found past it.
extern "C" int EVP_DigestFinal_ex(EVP_MD_CTX* context, unsigned char* digest, unsigned int* size) {
    using Final = int (*)(EVP_MD_CTX*, unsigned char*, unsigned int*);
    static const auto real = reinterpret_cast<Final>(::dlsym(RTLD_NEXT, "EVP_DigestFinal_ex"));
    if (failDigests) return 0;
    return real(context, digest, size);
}

namespace velmora {
namespace {

using test::FilesStory;
using test::sha;

TEST(ReceivingDigestFailure, EndsOnlyItsTransferWithWriteFailedAndLeavesNoFile) {
    FilesStory s;
    const std::string bytes = test::pattern(70000, 5);
    s.offer(401, "foto.jpg", static_cast<std::int64_t>(bytes.size()), sha(bytes));
    ASSERT_NE(s.reply("\"t\":\"file.accept\",\"tid\":401}"), "");
    s.chunk(401, bytes.substr(0, 30000));
    failDigests = true;
    s.chunk(401, bytes.substr(30000));  // the last record: the digest is taken here, on this thread
    failDigests = false;
    ASSERT_NE(s.reply("\"error\":\"write_failed\",\"ok\":false,\"t\":\"file.done\",\"tid\":401}"), "");
    EXPECT_EQ(s.entries(), (std::vector<std::string>{"keep.part"}));
    ASSERT_TRUE(s.textIs(L10n::format("transfer.receive_failed", {"foto.jpg"})));
    EXPECT_NE(s.h.log().find("recebimento 401 abortado: resumo SHA-256 indisponível (falha no SHA-256)"),
              std::string::npos);

    // The same session takes the next file.
    EXPECT_FALSE(s.session->closed());
    s.offer(403, "foto.jpg", static_cast<std::int64_t>(bytes.size()), sha(bytes));
    s.chunk(403, bytes);
    ASSERT_NE(s.reply("\"ok\":true,\"t\":\"file.done\",\"tid\":403}"), "");
    EXPECT_EQ(test::readFile(s.folder / "foto.jpg"), bytes);
    EXPECT_EQ(s.model->state().state.kind(), ConnState::Kind::connected);
}

}  // namespace
}  // namespace velmora
