// CodeSignature: the canonical list of a directory and its Ed25519 signature, through OpenSSL.
#include "update/CodeSignature.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace panemaker {

namespace {

const char *const signatureName = "CodeSignature";
constexpr qsizetype keySize = 32;
constexpr qsizetype signatureSize = 64;

struct OpenSslFree {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
    void operator()(BIO *bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, OpenSslFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, OpenSslFree>;
using Bio = std::unique_ptr<BIO, OpenSslFree>;

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

template <typename T> std::optional<T> none(QString *error, const QString &text)
{
    fail(error, text);
    return std::nullopt;
}

Key readPrivateKey(const QString &pemPath, QString *error)
{
    Bio bio(BIO_new_file(QFile::encodeName(pemPath).constData(), "r"));
    Key key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        fail(error, QStringLiteral("%1 is not an Ed25519 private key in PEM").arg(pemPath));
        return nullptr;
    }
    return key;
}

std::optional<QByteArray> rawPublicKey(EVP_PKEY *key, QString *error)
{
    QByteArray raw(keySize, '\0');
    size_t length = raw.size();
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char *>(raw.data()), &length) != 1
        || length != size_t(keySize))
        return none<QByteArray>(error, QStringLiteral("cannot read the public key"));
    return raw;
}

// The signature file is tiny; anything much larger is not one and is not read whole.
std::optional<QByteArray> readSignature(const QString &directory, QString *error)
{
    const QString path = directory + u'/' + QLatin1String(signatureName);
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return none<QByteArray>(error, QStringLiteral("%1 is missing or not a regular file").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return none<QByteArray>(error, QStringLiteral("cannot read %1").arg(path));
    const auto decoded =
        QByteArray::fromBase64Encoding(file.read(4 * signatureSize).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != signatureSize)
        return none<QByteArray>(error, QStringLiteral("%1 does not hold a signature").arg(path));
    return decoded.decoded;
}

} // namespace

// Opened without following a link and without blocking on anything swapped in since lstat(),
// then checked again, so the bytes hashed are those of the regular file that was listed.
std::optional<QByteArray> sha256Hex(const QString &path, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return none<QByteArray>(error, QStringLiteral("cannot read %1").arg(path));
    }
    QFile file;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) || !hash.addData(&file))
        return none<QByteArray>(error, QStringLiteral("cannot read %1").arg(path));
    return hash.result().toHex();
}

std::optional<QByteArray> canonicalList(const QString &directory, QString *error)
{
    const QString root = QDir(directory).absolutePath();
    struct stat status {};
    if (::lstat(QFile::encodeName(root).constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return none<QByteArray>(error, QStringLiteral("%1 is not a directory").arg(directory));

    QList<std::pair<QByteArray, QByteArray>> files; // path, line
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = path.mid(root.size() + 1);
        if (relative.contains(u'\n'))
            return none<QByteArray>(error, QStringLiteral("a path holds a newline: %1").arg(path));
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
            return none<QByteArray>(error, QStringLiteral("cannot read %1").arg(path));
        if (S_ISDIR(status.st_mode)) {
            // The iterator skips what it cannot open, which would drop files from the list unseen.
            if (::access(QFile::encodeName(path).constData(), R_OK | X_OK) != 0)
                return none<QByteArray>(error, QStringLiteral("cannot read the directory %1").arg(path));
            continue;
        }
        if (!S_ISREG(status.st_mode))
            return none<QByteArray>(error, QStringLiteral("not a regular file or directory: %1").arg(path));
        if (relative == QLatin1String(signatureName))
            continue;
        const auto hash = sha256Hex(path, error);
        if (!hash)
            return std::nullopt;
        const QByteArray name = relative.toUtf8();
        const QByteArray mode = QByteArray::number(status.st_mode & 0777, 8).rightJustified(3, '0');
        files.append({name, mode + ' ' + *hash + ' ' + name + '\n'});
    }
    std::sort(files.begin(), files.end());
    QByteArray list;
    for (const auto &file : std::as_const(files))
        list += file.second;
    return list;
}

bool sign(const QString &directory, const QString &privateKeyPemPath, QString *error)
{
    const Key key = readPrivateKey(privateKeyPemPath, error);
    if (!key)
        return false;
    const auto list = canonicalList(directory, error);
    if (!list)
        return false;
    DigestContext context(EVP_MD_CTX_new());
    QByteArray signature(signatureSize, '\0');
    size_t length = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
                          reinterpret_cast<const unsigned char *>(list->constData()), list->size())
               != 1
        || length != size_t(signatureSize))
        return fail(error, QStringLiteral("signing failed"));
    QSaveFile file(directory + u'/' + QLatin1String(signatureName));
    if (!file.open(QIODevice::WriteOnly) || file.write(signature.toBase64() + '\n') < 0 || !file.commit())
        return fail(error, QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    return true;
}

bool verify(const QString &directory, const QByteArray &publicKey, QString *error)
{
    if (publicKey.size() != keySize)
        return fail(error, QStringLiteral("no valid public key to verify with"));
    const Key key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(publicKey.constData()), publicKey.size()));
    if (!key)
        return fail(error, QStringLiteral("no valid public key to verify with"));
    const auto signature = readSignature(directory, error);
    if (!signature)
        return false;
    const auto list = canonicalList(directory, error);
    if (!list)
        return false;
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature->constData()),
                            signature->size(), reinterpret_cast<const unsigned char *>(list->constData()), list->size())
               != 1)
        return fail(error, QStringLiteral("the signature does not match the files of %1").arg(directory));
    return true;
}

std::optional<QByteArray> generateKey(const QString &privateKeyPemPath, QString *error)
{
    const Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    Bio pem(BIO_new(BIO_s_mem()));
    if (!key || !pem || PEM_write_bio_PrivateKey(pem.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return none<QByteArray>(error, QStringLiteral("cannot make a key"));
    char *bytes = nullptr;
    const long size = BIO_get_mem_data(pem.get(), &bytes);
    // O_EXCL: a release key is never silently replaced.
    const int fd = ::open(QFile::encodeName(privateKeyPemPath).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return none<QByteArray>(error, QStringLiteral("cannot create %1: %2")
                                           .arg(privateKeyPemPath, QString::fromLocal8Bit(std::strerror(errno))));
    const bool written = ::fchmod(fd, 0600) == 0 && ::write(fd, bytes, size) == size;
    if (::close(fd) != 0 || !written) {
        QFile::remove(privateKeyPemPath);
        return none<QByteArray>(error, QStringLiteral("cannot write %1").arg(privateKeyPemPath));
    }
    return rawPublicKey(key.get(), error);
}

std::optional<QByteArray> publicKeyOf(const QString &privateKeyPemPath, QString *error)
{
    const Key key = readPrivateKey(privateKeyPemPath, error);
    return key ? rawPublicKey(key.get(), error) : std::nullopt;
}

} // namespace panemaker
