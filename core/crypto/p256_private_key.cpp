#include "core/crypto/p256_private_key.h"

#include <openssl/core_names.h>
#include <openssl/obj_mac.h>

#include "core/crypto/openssl_handles.h"

namespace velmora {
namespace {

constexpr std::size_t kScalarSize = 32;
constexpr std::size_t kX963Size = 65;

openssl::Group p256Group() {
    return openssl::Group(
        openssl::checked(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1), "grupo P-256 indisponível"));
}

SecretBytes scalarBytes(const BIGNUM* d) {
    SecretBytes out(kScalarSize);
    openssl::check(BN_bn2binpad(d, out.data(), static_cast<int>(out.size())), "escalar P-256 grande demais");
    return out;
}

// Compact representation: of the two points with the same x, the one whose y is not larger than p - y.
bool isCompact(const EC_GROUP* group, const BIGNUM* d, BN_CTX* ctx) {
    openssl::Point pub(openssl::checked(EC_POINT_new(group), "EC_POINT_new"));
    openssl::check(EC_POINT_mul(group, pub.get(), d, nullptr, nullptr, ctx), "EC_POINT_mul");
    openssl::Bignum x(openssl::checked(BN_new(), "BN_new"));
    openssl::Bignum y(openssl::checked(BN_new(), "BN_new"));
    openssl::Bignum p(openssl::checked(BN_new(), "BN_new"));
    openssl::check(EC_POINT_get_affine_coordinates(group, pub.get(), x.get(), y.get(), ctx), "coordenadas");
    openssl::check(EC_GROUP_get_curve(group, p.get(), nullptr, nullptr, ctx), "EC_GROUP_get_curve");
    openssl::check(BN_sub(p.get(), p.get(), y.get()), "BN_sub");
    return BN_cmp(y.get(), p.get()) <= 0;
}

}  // namespace

P256PrivateKey::P256PrivateKey(EVP_PKEY* key, Bytes publicX963)
    : key_(key, EVP_PKEY_free), publicX963_(std::move(publicX963)) {}

P256PrivateKey P256PrivateKey::generate() {
    openssl::Pkey fresh(
        openssl::checked(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"), "geração de chave"));
    BIGNUM* raw = nullptr;
    openssl::check(EVP_PKEY_get_bn_param(fresh.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw), "chave privada");
    openssl::Bignum d(raw);

    // -Q has the same x and the other y, and is the public key of n - d.
    const openssl::Group group = p256Group();
    openssl::BnCtx ctx(openssl::checked(BN_CTX_new(), "BN_CTX_new"));
    if (!isCompact(group.get(), d.get(), ctx.get())) {
        openssl::check(BN_sub(d.get(), EC_GROUP_get0_order(group.get()), d.get()), "BN_sub");
    }
    return fromRaw(scalarBytes(d.get()));
}

P256PrivateKey P256PrivateKey::fromRaw(ByteView raw) {
    if (raw.size() != kScalarSize) throw CryptoError("chave privada P-256 de tamanho inválido");
    const openssl::Group group = p256Group();
    openssl::BnCtx ctx(openssl::checked(BN_CTX_new(), "BN_CTX_new"));
    openssl::Bignum d(
        openssl::checked(BN_bin2bn(raw.data(), static_cast<int>(raw.size()), nullptr), "BN_bin2bn"));
    if (BN_is_zero(d.get()) || BN_cmp(d.get(), EC_GROUP_get0_order(group.get())) >= 0) {
        throw CryptoError("chave privada P-256 inválida");
    }

    // OpenSSL 3.0 does not derive the public point when importing a bare scalar, so compute it here.
    openssl::Point pub(openssl::checked(EC_POINT_new(group.get()), "EC_POINT_new"));
    openssl::check(EC_POINT_mul(group.get(), pub.get(), d.get(), nullptr, nullptr, ctx.get()),
                   "EC_POINT_mul");
    Bytes x963(kX963Size);
    if (EC_POINT_point2oct(group.get(), pub.get(), POINT_CONVERSION_UNCOMPRESSED, x963.data(), x963.size(),
                           ctx.get()) != kX963Size) {
        openssl::fail("EC_POINT_point2oct");
    }

    openssl::Pkey key = openssl::importP256(d.get(), x963);
    return P256PrivateKey(key.release(), std::move(x963));
}

SecretBytes P256PrivateKey::raw() const {
    BIGNUM* raw = nullptr;
    openssl::check(EVP_PKEY_get_bn_param(key_.get(), OSSL_PKEY_PARAM_PRIV_KEY, &raw), "chave privada");
    const openssl::Bignum d(raw);
    return scalarBytes(d.get());
}

Bytes P256PrivateKey::sign(ByteView message) const {
    openssl::MdCtx md(openssl::checked(EVP_MD_CTX_new(), "EVP_MD_CTX_new"));
    openssl::check(EVP_DigestSignInit(md.get(), nullptr, EVP_sha256(), nullptr, key_.get()),
                   "EVP_DigestSignInit");
    std::size_t derSize = 0;
    openssl::check(EVP_DigestSign(md.get(), nullptr, &derSize, message.data(), message.size()),
                   "EVP_DigestSign");
    Bytes der(derSize);
    openssl::check(EVP_DigestSign(md.get(), der.data(), &derSize, message.data(), message.size()),
                   "EVP_DigestSign");

    const unsigned char* p = der.data();
    openssl::Sig sig(
        openssl::checked(d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(derSize)), "assinatura DER"));
    // r and s are often shorter than 32 bytes (about 1 in 128 signatures); the raw form left-pads each.
    Bytes out(2 * kScalarSize);
    openssl::check(BN_bn2binpad(ECDSA_SIG_get0_r(sig.get()), out.data(), kScalarSize), "r");
    openssl::check(BN_bn2binpad(ECDSA_SIG_get0_s(sig.get()), out.data() + kScalarSize, kScalarSize), "s");
    return out;
}

}  // namespace velmora
