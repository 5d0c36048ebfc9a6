#include "core/crypto/openssl_handles.h"

#include <openssl/core_names.h>
#include <openssl/obj_mac.h>

namespace velmora::openssl {

Pkey importP256(const BIGNUM* priv, ByteView x963) {
    ParamBld bld(checked(OSSL_PARAM_BLD_new(), "OSSL_PARAM_BLD_new"));
    check(OSSL_PARAM_BLD_push_utf8_string(bld.get(), OSSL_PKEY_PARAM_GROUP_NAME, SN_X9_62_prime256v1, 0),
          "parâmetro grupo");
    if (priv != nullptr)
        check(OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_PRIV_KEY, priv), "parâmetro priv");
    check(OSSL_PARAM_BLD_push_octet_string(bld.get(), OSSL_PKEY_PARAM_PUB_KEY, x963.data(), x963.size()),
          "parâmetro pub");
    Params params(checked(OSSL_PARAM_BLD_to_param(bld.get()), "OSSL_PARAM_BLD_to_param"));
    PkeyCtx pctx(checked(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr), "contexto EC"));
    check(EVP_PKEY_fromdata_init(pctx.get()), "EVP_PKEY_fromdata_init");
    EVP_PKEY* key = nullptr;
    check(EVP_PKEY_fromdata(pctx.get(), &key, priv != nullptr ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                            params.get()),
          "chave P-256 inválida");
    return Pkey(key);
}

}  // namespace velmora::openssl
