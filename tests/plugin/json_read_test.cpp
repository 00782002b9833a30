// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "parsed_json.h"
#include "status/json_read.h"

namespace {

using pemra::json_read::Fields;
using pemra::json_read::ReadError;
using pemra::json_read::reduce_to_int32;
using test_json::Parsed;

std::int32_t int32_of(const char* text) {
    const Parsed object(std::string(R"({"v":)") + text + "}");
    std::int32_t out = -777;
    Fields(object, "o").read("v", out);
    return out;
}

TEST(ReadingRules, Int32KeepsTheLow32BitsOfIntegers) {
    EXPECT_EQ(int32_of("0"), 0);
    EXPECT_EQ(int32_of("-17"), -17);
    EXPECT_EQ(int32_of("2147483647"), 2147483647);
    EXPECT_EQ(int32_of("2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(int32_of("3000000000"), -1294967296);
    EXPECT_EQ(int32_of("4294967296"), 0);
    EXPECT_EQ(int32_of("4294967297"), 1);
    EXPECT_EQ(int32_of("-2147483649"), 2147483647);
    EXPECT_EQ(int32_of("18446744073709551615"), -1);  // largest unsigned
    EXPECT_EQ(int32_of("true"), 1);
    EXPECT_EQ(int32_of("false"), 0);
}

TEST(ReadingRules, Int32TruncatesFractionsAndReducesHugeFloatsTheSameWay) {
    EXPECT_EQ(int32_of("12.9"), 12);
    EXPECT_EQ(int32_of("-12.9"), -12);
    EXPECT_EQ(int32_of("1520.7"), 1520);
    EXPECT_EQ(int32_of("3000000000.5"), -1294967296) << "like the integer 3000000000";
    EXPECT_EQ(int32_of("4294967296.0"), 0);
    EXPECT_EQ(int32_of("1e19"), reduce_to_int32(std::uint64_t{10000000000000000000u}));
    EXPECT_EQ(int32_of("-3000000000.0"), 1294967296);
    EXPECT_EQ(int32_of("1e300"), 0) << "1e300 is a multiple of 2^32";
    EXPECT_EQ(reduce_to_int32(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(reduce_to_int32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(reduce_to_int32(-0.5), 0);
}

TEST(ReadingRules, TypesAreCheckedByTheMemberTheyGoTo) {
    const Parsed o(R"({"n":1,"f":0.5,"b":true,"s":"text","z":null,"a":[1,2]})");
    Fields f(o, "obj");
    double d = -1;
    EXPECT_TRUE(f.read("n", d));
    EXPECT_EQ(d, 1.0);
    EXPECT_THROW(f.read("b", d), ReadError) << "a boolean is not a number here";
    EXPECT_THROW(f.read("s", d), ReadError);
    bool flag = false;
    EXPECT_TRUE(f.read("b", flag));
    EXPECT_TRUE(flag);
    EXPECT_THROW(f.read("n", flag), ReadError) << "a number is not a boolean";
    std::string text = "old";
    EXPECT_THROW(f.read("n", text), ReadError);
    EXPECT_FALSE(f.read("z", text));
    EXPECT_EQ(text, "old") << "null leaves the member";
    EXPECT_TRUE(f.read_or_clear("z", text));
    EXPECT_EQ(text, "") << "where the reader says so, null empties it";
    EXPECT_FALSE(f.read("missing", d));
    std::int32_t i = 0;
    EXPECT_THROW(f.read("a", i), ReadError);
    try {
        f.read("s", i);
        FAIL();
    } catch (const ReadError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("\"obj\".\"s\""), std::string::npos) << what;
        EXPECT_NE(what.find("string"), std::string::npos) << what;
    }
}

TEST(ReadingRules, FixedArraysFillFromTheFront) {
    double slots[4] = {9, 9, 9, 9};
    const Parsed o(R"({"six":[1,2,3,4,5,6],"two":[7,8],"one":5,"bad":[1,"x",3],"null":null})");
    Fields f(o, "obj");
    EXPECT_TRUE(f.read("six", slots));
    EXPECT_EQ(slots[3], 4);
    EXPECT_TRUE(f.read("two", slots));
    EXPECT_EQ(slots[0], 7);
    EXPECT_EQ(slots[1], 8);
    EXPECT_EQ(slots[2], 3) << "slots past the end keep their values";
    EXPECT_TRUE(f.read("one", slots));
    EXPECT_EQ(slots[0], 5);
    EXPECT_EQ(slots[1], 8);
    EXPECT_FALSE(f.read("null", slots));
    EXPECT_THROW(f.read("bad", slots), ReadError);
    EXPECT_EQ(slots[0], 1) << "elements before the bad one are written";
    EXPECT_EQ(slots[1], 8);
}

TEST(ReadingRules, SwitchesCountAsOnAboveOneTenth) {
    bool on = true;
    const Parsed o(R"({"off":0.1,"on":0.11,"int":1,"bool":true})");
    Fields f(o, "pin");
    f.read_switch("off", on);
    EXPECT_FALSE(on);
    f.read_switch("on", on);
    EXPECT_TRUE(on);
    on = false;
    f.read_switch("int", on);
    EXPECT_TRUE(on);
    EXPECT_THROW(f.read_switch("bool", on), ReadError);
}

// An object with `fillers` entries between two of the key "v" (1, then 2)
// and a "z" that is null.
std::string repeated_v(int fillers) {
    std::string text = R"({"v":1,"z":null)";
    for (int i = 0; i < fillers; ++i) text += ",\"k" + std::to_string(i) + "\":" + std::to_string(i);
    return text + R"(,"v":2})";
}

TEST(ReadingRules, OfARepeatedKeyTheLastCountsInSmallAndLargeObjects) {
    // Small objects are looked up among the entries gathered in one walk,
    // large ones in the document: the rules must not depend on the size.
    for (int fillers : {0, 3, 21, 22, 23, 40}) {
        const Parsed o(repeated_v(fillers));
        Fields f(o, "obj");
        double v = 0;
        EXPECT_TRUE(f.read("v", v)) << fillers;
        EXPECT_EQ(v, 2) << fillers << " other entries";
        double k = -1;
        EXPECT_EQ(f.read("k0", k), fillers > 0) << fillers;
        EXPECT_EQ(k, fillers > 0 ? 0 : -1) << fillers;
        EXPECT_FALSE(f.read("absent", k)) << fillers;
        EXPECT_FALSE(f.read("z", k)) << "null counts as absent, " << fillers;
        std::string text = "kept";
        EXPECT_TRUE(f.read_or_clear("z", text)) << fillers;
        EXPECT_EQ(text, "") << fillers;
    }
}

}  // namespace
