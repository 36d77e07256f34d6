#include "RuntimeTestSupport.h"
#include "runtime/uStreams.h"

#include <gtest/gtest.h>

using namespace runtime_test;

TEST(FileStream, CreateTruncatesAndHoldsTheFileExclusively)
{
    AnsiString file = FreshFolder("streams") + "data.bin";
    WriteBytes(file, "an older and longer content");
    {
        TFileStream stream(file, fmCreate);
        EXPECT_EQ(stream.Size(), 0);
        stream.WriteBuffer("new", 3);

#ifdef _WIN32
        // While it is open nobody else may open or recreate it (Windows'
        // sharing modes; POSIX has no such thing).
        try {
            TFileStream reader(file, fmOpenRead | fmShareDenyNone);
            FAIL() << "opened an exclusively held file";
        } catch (const EFOpenError& e) {
            EXPECT_EQ(e.Message(), "Cannot open file " + file);
        }
        try {
            TFileStream again(file, fmCreate);
            FAIL() << "recreated an exclusively held file";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Cannot create file " + file);
        }
#endif
    }
    EXPECT_EQ(ReadBytes(file), "new");
}

TEST(FileStream, CreateInAMissingFolderNamesTheFile)
{
    AnsiString file = FreshFolder("streams-missing") + "nope\\data.bin";
    try {
        TFileStream stream(file, fmCreate);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "Cannot create file " + file);
        EXPECT_TRUE(e.Is<EStreamError>());
    }
}

TEST(FileStream, ReadsBackWhatWasWrittenAndReportsShortReads)
{
    AnsiString file = FreshFolder("streams-rw") + "data.bin";
    {
        TFileStream out(file, fmCreate);
        TMemoryStream source;
        std::string payload(200000, '\0');
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(i * 7);
        source.WriteBuffer(payload.data(), static_cast<std::int64_t>(payload.size()));
        EXPECT_EQ(out.CopyFrom(source, 0), 200000); // 0: the whole source from its start
    }
    TFileStream in(file, fmOpenRead);
    EXPECT_EQ(in.Size(), 200000);
    in.Seek(-2, TSeekOrigin::soEnd);
    unsigned char tail[2];
    in.ReadBuffer(tail, 2);
    EXPECT_EQ(tail[0], static_cast<unsigned char>(199998 * 7));
    try {
        in.ReadBuffer(tail, 1);
        FAIL() << "read past the end";
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
}
