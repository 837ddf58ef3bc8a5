#include "update/UpdateSignature.h"

#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"
#include "support/UpdateServer.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quill;
using namespace quill::test;

TEST(UpdateSignature, onlyTheKeysSignatureOfTheExactBytesCounts)
{
    const std::string manifest = "[a]\r\nName=a.zip\r\nDate=2010-1-1\r\nBytes=6\r\nSHA256=00\r\n";
    const std::string good = signatureText(manifest);
    std::string flipped = manifest;
    flipped[10] ^= 1;
    struct Case {
        const char* what;
        std::string message;
        std::string signature;
        PublicKey key;
        bool valid;
    };
    const Case cases[] = {
        {"the release key's signature", manifest, good, testKey().publicKey, true},
        {"with blanks and a line break around it", manifest, "  " + good + "\r\n", testKey().publicKey, true},
        {"one bit of the manifest changed", flipped, good, testKey().publicKey, false},
        {"a byte appended", manifest + " ", good, testKey().publicKey, false},
        {"signed with another key", manifest, signatureText(manifest, otherKey()), testKey().publicKey, false},
        {"checked against another key", manifest, good, otherKey().publicKey, false},
        {"another manifest's signature", manifest, signatureText("[b]\r\n"), testKey().publicKey, false},
        {"not base64", manifest, "not a signature at all", testKey().publicKey, false},
        {"cut short", manifest, good.substr(0, 40), testKey().publicKey, false},
        {"empty", manifest, "", testKey().publicKey, false},
        {"an HTML error page", manifest, "<html><body>404</body></html>", testKey().publicKey, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verifySignature(c.message, c.signature, c.key), c.valid) << c.what;
}

TEST(UpdateSignature, publicKeysAreSixtyFourHexDigits)
{
    EXPECT_EQ(parsePublicKey(testKey().publicHex), testKey().publicKey);
    for (const std::string& bad : {std::string(), testKey().publicHex.substr(2), testKey().publicHex + "00",
                                   "zz" + testKey().publicHex.substr(2)})
        EXPECT_FALSE(parsePublicKey(bad)) << bad;
    releasePublicKey(); // the built-in key parses
}

TEST(UpdateSignature, hashesFilesButNeverThroughALink)
{
    TempFolder folder;
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(3 << 20, 'x'), sha256Hex(std::string(3 << 20, 'x'))},
    };
    for (const auto& [bytes, hash] : cases)
        EXPECT_EQ(fileSha256(folder.write("f", bytes)), hash) << bytes.size();
    std::filesystem::create_symlink(folder.file("f"), folder.file("link"));
    EXPECT_FALSE(fileSha256(folder.file("link")));
    EXPECT_FALSE(fileSha256(folder.file("missing")));
}

TEST(ReleaseTool, makesAKeyFillsInSizesAndHashesAndSigns)
{
    const std::string tool = QUILLMARK_SOURCE_DIR "/scripts/sign-update.sh";
    TempFolder folder;
    const ProcessResult keygen = runProcess({tool, "keygen", folder.file("release.pem")});
    ASSERT_EQ(keygen.exitCode, 0) << keygen.err;
    const std::optional<PublicKey> key = parsePublicKey(keygen.out.substr(0, 64));
    ASSERT_TRUE(key) << keygen.out;
    EXPECT_EQ(runProcess({tool, "keygen", folder.file("release.pem")}).exitCode, 1); // never overwritten

    std::filesystem::create_directory(folder.file("files"));
    folder.write("files/data.zip", "zip bytes");
    folder.write("files/词库.txt", "words");
    const std::string manifest = folder.write(
        "update.txt", "[a]\r\nName=data.zip\r\nDate=2010-1-1\r\nBytes=1\r\nSHA256=old\r\nURL=http://h/data.zip\r\n"
                      "[b]\r\nName=" + gbk("词库.txt") + "\r\nURL=http://h/w\r\n[c]\r\nName=missing.bin\r\n");
    const ProcessResult signing = runProcess({tool, "sign", folder.file("release.pem"), manifest, folder.file("files")});
    ASSERT_EQ(signing.exitCode, 0) << signing.err;

    const std::string signedText = readFile(manifest);
    EXPECT_EQ(signedText, "[a]\r\nName=data.zip\r\nDate=2010-1-1\r\nURL=http://h/data.zip\r\nBytes=9\r\nSHA256=" +
                              sha256Hex("zip bytes") + "\r\n[b]\r\nName=" + gbk("词库.txt") +
                              "\r\nURL=http://h/w\r\nBytes=5\r\nSHA256=" + sha256Hex("words") +
                              "\r\n[c]\r\nName=missing.bin\r\n");
    EXPECT_TRUE(verifySignature(signedText, readFile(manifest + ".sig"), *key));
    EXPECT_FALSE(verifySignature(signedText, readFile(manifest + ".sig"), testKey().publicKey));
}
