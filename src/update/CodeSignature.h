// CodeSignature: the Ed25519 signature over every file of the application directory, written by
// the release tool and checked before a downloaded update may replace the running program.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace panemaker {

// Every regular file below the directory except the top-level CodeSignature, one line each:
// "<mode & 0777 as 3 octal digits> <lowercase hex SHA-256> <relative path>\n", sorted by the
// path's UTF-8 bytes. Nothing (with the reason) when the tree holds a link, device, fifo or
// socket, a path with a newline, or anything unreadable.
std::optional<QByteArray> canonicalList(const QString &directory, QString *error = nullptr);

// The lowercase hex SHA-256 of a regular file, read without following a link.
std::optional<QByteArray> sha256Hex(const QString &path, QString *error = nullptr);

// Writes directory/CodeSignature: the base64 of the signature of the canonical list, then "\n".
bool sign(const QString &directory, const QString &privateKeyPemPath, QString *error = nullptr);

// True only when directory/CodeSignature is a valid signature, by the owner of the 32 raw key
// bytes, of the canonical list as the directory is now. An empty key verifies nothing.
bool verify(const QString &directory, const QByteArray &publicKey, QString *error = nullptr);

// Writes a new private key as PKCS#8 PEM readable by its owner only, refusing to replace a
// file, and returns its raw public key.
std::optional<QByteArray> generateKey(const QString &privateKeyPemPath, QString *error = nullptr);

// The raw public key of a private key file.
std::optional<QByteArray> publicKeyOf(const QString &privateKeyPemPath, QString *error = nullptr);

} // namespace panemaker
