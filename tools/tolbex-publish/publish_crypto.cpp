// OpenSSL 3 behind the publisher's few operations. ECDSA in OpenSSL speaks DER
// (SEQUENCE of two INTEGERs); the installer wants the fixed-width r||s form, so both
// directions convert through ECDSA_SIG.
#include "publish_crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "crypto/public_blob.h"

namespace {

constexpr std::size_t kCoordinate = kP256CoordinateBytes;

using Bio = Owned<BIO, BIO_free>;
using Bn = Owned<BIGNUM, BN_free>;
using Sig = Owned<ECDSA_SIG, ECDSA_SIG_free>;
using PkeyCtx = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;

bool IsP256(EVP_PKEY* key) {
    char curve[64] = {};
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC)
        return false;
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, curve, sizeof curve,
                                        nullptr)) {
        return false;
    }
    return std::strcmp(curve, SN_X9_62_prime256v1) == 0;
}

bool AppendFixed(const BIGNUM* value, Bytes& out) {
    std::uint8_t fixed[kCoordinate];
    if (BN_bn2binpad(value, fixed, kCoordinate) != static_cast<int>(kCoordinate))
        return false;
    out.insert(out.end(), fixed, fixed + kCoordinate);
    return true;
}

// The uncompressed point 04 || X || Y of the blob, as an EVP public key.
Pkey KeyFromBlob(const Bytes& blob) {
    if (blob.size() != kPublicBlobBytes ||
        !std::equal(std::begin(kPublicBlobHeader), std::end(kPublicBlobHeader), blob.begin())) {
        return {};
    }
    std::uint8_t point[1 + 2 * kCoordinate] = {0x04};
    std::copy(blob.begin() + sizeof kPublicBlobHeader, blob.end(), point + 1);
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME,
                                         const_cast<char*>(SN_X9_62_prime256v1), 0),
        OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point),
        OSSL_PARAM_construct_end()};
    PkeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0 ||
        EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params) <= 0) {
        return {};
    }
    return Pkey(key);
}

// r||s to DER; null when either half is zero (which no valid signature has) or the
// halves cannot be taken over.
Bytes RawToDer(const Bytes& raw) {
    Bn r(BN_bin2bn(raw.data(), kCoordinate, nullptr));
    Bn s(BN_bin2bn(raw.data() + kCoordinate, kCoordinate, nullptr));
    Sig sig(ECDSA_SIG_new());
    if (!r || !s || !sig || !ECDSA_SIG_set0(sig.get(), r.get(), s.get()))
        return {};
    r.release();
    s.release();
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig.get(), &der);
    if (length <= 0)
        return {};
    Bytes out(der, der + length);
    OPENSSL_free(der);
    return out;
}

}  // namespace

bool ReadFileBytes(const std::string& path, Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.clear();
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool WriteFileAtomically(const std::string& path, const Bytes& bytes, unsigned mode, bool exclusive,
                         std::string& error) {
    struct stat existing {};
    if (exclusive && lstat(path.c_str(), &existing) == 0) {
        error = path + " already exists; not overwritten";
        return false;
    }
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a file beside " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = fsync(fd) == 0 && ok;
    ok = close(fd) == 0 && ok;
    // link() refuses an existing name, so an exclusive write cannot race a new file in.
    if (ok)
        ok = exclusive ? link(temp.c_str(), path.c_str()) == 0
                       : rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return ok;
}

Pkey LoadPrivateKey(const std::string& path, std::string& error) {
    Bytes pem;
    if (!ReadFileBytes(path, pem)) {
        error = "cannot read key file " + path + ": " + std::strerror(errno);
        return {};
    }
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Pkey key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key) {
        error = path + " is not a PEM private key";
    } else if (!IsP256(key.get())) {
        error = path + " is not an ECDSA P-256 (prime256v1) key";
        key.reset();
    }
    return key;
}

Pkey GenerateKey() {
    return Pkey(EVP_EC_gen(SN_X9_62_prime256v1));
}

bool PrivateKeyPem(EVP_PKEY* key, Bytes& pem) {
    Bio bio(BIO_new(BIO_s_mem()));
    if (!bio || !PEM_write_bio_PrivateKey_traditional(bio.get(), key, nullptr, nullptr, 0, nullptr,
                                                      nullptr)) {
        return false;
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    pem.assign(data, data + length);
    return true;
}

bool PublicBlob(EVP_PKEY* key, Bytes& blob) {
    BIGNUM* x = nullptr;
    BIGNUM* y = nullptr;
    const bool got = EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_X, &x) &&
                     EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_EC_PUB_Y, &y);
    Bn ownX(x), ownY(y);
    if (!got)
        return false;
    blob.assign(std::begin(kPublicBlobHeader), std::end(kPublicBlobHeader));
    return AppendFixed(x, blob) && AppendFixed(y, blob);
}

Digest Sha256Of(const Bytes& bytes) {
    Digest digest{};
    SHA256(bytes.data(), bytes.size(), digest.data());
    return digest;
}

Sha256Stream Sha256Begin() {
    Sha256Stream stream(EVP_MD_CTX_new());
    if (stream && EVP_DigestInit_ex(stream.get(), EVP_sha256(), nullptr) != 1)
        stream.reset();
    return stream;
}

void Sha256Add(EVP_MD_CTX* stream, const void* data, std::size_t size) {
    if (stream)
        EVP_DigestUpdate(stream, data, size);
}

Digest Sha256Finish(EVP_MD_CTX* stream) {
    Digest digest{};
    unsigned int length = 0;
    if (!stream || EVP_DigestFinal_ex(stream, digest.data(), &length) != 1)
        digest.fill(0);
    return digest;
}

bool SignDigest(EVP_PKEY* key, const Digest& digest, Bytes& raw) {
    PkeyCtx ctx(EVP_PKEY_CTX_new(key, nullptr));
    std::size_t length = 0;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) <= 0 ||
        EVP_PKEY_sign(ctx.get(), nullptr, &length, digest.data(), digest.size()) <= 0) {
        return false;
    }
    Bytes der(length);
    if (EVP_PKEY_sign(ctx.get(), der.data(), &length, digest.data(), digest.size()) <= 0) {
        return false;
    }
    const unsigned char* cursor = der.data();
    Sig sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(length)));
    if (!sig)
        return false;
    raw.clear();
    return AppendFixed(ECDSA_SIG_get0_r(sig.get()), raw) &&
           AppendFixed(ECDSA_SIG_get0_s(sig.get()), raw);
}

bool VerifyRaw(const Bytes& blob, const Digest& digest, const Bytes& raw) {
    if (raw.size() != 2 * kCoordinate)
        return false;
    Pkey key = KeyFromBlob(blob);
    const Bytes der = RawToDer(raw);
    if (!key || der.empty())
        return false;
    PkeyCtx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
    return ctx && EVP_PKEY_verify_init(ctx.get()) > 0 &&
           EVP_PKEY_verify(ctx.get(), der.data(), der.size(), digest.data(), digest.size()) == 1;
}
