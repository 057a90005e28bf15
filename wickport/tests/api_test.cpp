// Enumeration, selection and the ordinal table.
#include <string>
#include <vector>

#include "test_env.h"

namespace {

// Like a caller's own static object, this closes the adapter while the
// process exits, after every test ran; the library must still be there.
struct CloseAtExit {
    ~CloseAtExit() {
        WpClose();
        int count = 0;
        WpGetDeviceCount(&count);
    }
} close_at_exit;

using EnumerationTest = WickportTest;
using SelectionTest = WickportTest;

TEST_F(EnumerationTest, ListsVirtualAdaptersInOrderWithOptions) {
    ASSERT_EQ(UseAdapters("  VZ0003 ; VZ0001:pid=0x8045 ;;VZ0002 : pid = 0x8253 ;  "), 3);
    EXPECT_EQ(SerialAt(0), "VZ0003");
    EXPECT_EQ(SerialAt(1), "VZ0001");
    EXPECT_EQ(SerialAt(2), "VZ0002");
    int pid = 0;
    ASSERT_EQ(WpGetProductIdByIndex(0, &pid), WP_OK);
    EXPECT_EQ(pid, 0x8A51);
    ASSERT_EQ(WpGetProductIdByIndex(1, &pid), WP_OK);
    EXPECT_EQ(pid, 0x8045);
    ASSERT_EQ(WpGetProductIdByIndex(2, &pid), WP_OK);
    EXPECT_EQ(pid, 0x8253);
}

TEST_F(EnumerationTest, SkipsMalformedAndRefusedDescriptionsWithAMessage) {
    testing::internal::CaptureStderr();
    int count = UseAdapters("GOOD1;:pid=1;BAD1:pid;BAD2:pid=zz;GOOD2;good1;BAD 3;BAD4:nosuchkey=1");
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(count, 2);
    EXPECT_EQ(SerialAt(0), "GOOD1");
    EXPECT_EQ(SerialAt(1), "GOOD2");
    EXPECT_NE(err.find("\":pid=1\""), std::string::npos) << err;
    EXPECT_NE(err.find("BAD1"), std::string::npos) << err;
    EXPECT_NE(err.find("BAD2"), std::string::npos) << err;
    EXPECT_NE(err.find("good1"), std::string::npos) << err;
    EXPECT_NE(err.find("BAD 3"), std::string::npos) << err;
    EXPECT_NE(err.find("BAD4"), std::string::npos) << err;
}

TEST_F(EnumerationTest, ReReadsTheListAndReportsProblemsOnlyWhenItChanges) {
    EXPECT_EQ(UseAdapters("A1;A2"), 2);
    EXPECT_EQ(UseAdapters("B1"), 1);
    EXPECT_EQ(SerialAt(0), "B1");
    EXPECT_EQ(SerialAt(1), "<none>");
    EXPECT_EQ(UseAdapters(""), 0);

    testing::internal::CaptureStderr();
    UseAdapters("C1;:x");
    UseAdapters("C1;:x");
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(err.find("skipping"), std::string::npos) << err;
    EXPECT_EQ(err.find("skipping"), err.rfind("skipping")) << err;
}

TEST_F(EnumerationTest, HostileListsNeverCrash) {
    std::string huge(200, 'S');
    std::string list = huge + ";" + std::string(5000, ';') + "X:" + std::string(3000, ',') +
                       ";\x01\x02;Y:pid=0x1234;Z:=1;\xff\xfe;W:pid=1,,";
    testing::internal::CaptureStderr();
    int count = UseAdapters(list.c_str());
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(count, 1);
    EXPECT_EQ(SerialAt(0), "Y");
}

TEST_F(EnumerationTest, IndexOutOfRangeAndNullArguments) {
    ASSERT_EQ(UseAdapters("VZ1"), 1);
    const char* sn = nullptr;
    int pid = 0;
    EXPECT_EQ(WpGetSerialByIndex(1, &sn), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(WpGetSerialByIndex(-1, &sn), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(WpGetProductIdByIndex(1, &pid), WP_E_DEVICE_NOT_FOUND);
    EXPECT_LT(WpGetSerialByIndex(0, nullptr), 0);
    EXPECT_LT(WpGetProductIdByIndex(0, nullptr), 0);
    EXPECT_LT(WpGetDeviceCount(nullptr), 0);
    EXPECT_LT(WpGetSelectedSerial(nullptr), 0);
    EXPECT_LT(WpGetProductId(nullptr), 0);
    EXPECT_LT(WpGetVersion(nullptr), 0);
    EXPECT_EQ(WpSelectDevice(nullptr), WP_E_DEVICE_NOT_FOUND);
}

TEST_F(EnumerationTest, SerialTextsOutliveLaterEnumerations) {
    ASSERT_EQ(UseAdapters("KEEP1;KEEP2"), 2);
    const char* first = nullptr;
    ASSERT_EQ(WpGetSerialByIndex(1, &first), WP_OK);
    UseAdapters("OTHER");
    UseAdapters("");
    EXPECT_STREQ(first, "KEEP2");
}

TEST_F(EnumerationTest, EmptyVirtualListHidesRealAdapters) {
    // The real-adapter backend says what it cannot parse, so its silence shows
    // it was not asked at all.
    setenv("WICKPORT_USB_IDS", "10c4:ea61,not-asked", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(UseAdapters(""), 0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("not-asked"), std::string::npos) << err;

    unsetenv("WICKPORT_VIRTUAL");
    testing::internal::CaptureStderr();
    int count = -1;
    EXPECT_EQ(WpGetDeviceCount(&count), WP_OK);
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("not-asked"), std::string::npos) << err;
    unsetenv("WICKPORT_USB_IDS");
}

TEST_F(EnumerationTest, RealAdapterIdsAreParsedAndBadOnesReported) {
    unsetenv("WICKPORT_VIRTUAL");
    // Ids nobody has: the count is 0 whatever the machine has attached.
    setenv("WICKPORT_USB_IDS", "fffe:fffd, nonsense ,0x1:", 1);
    testing::internal::CaptureStderr();
    int count = -1;
    EXPECT_EQ(WpGetDeviceCount(&count), WP_OK);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count, 0);
    EXPECT_NE(err.find("nonsense"), std::string::npos) << err;
    EXPECT_NE(err.find("0x1:"), std::string::npos) << err;
    EXPECT_EQ(WpOpen(), WP_E_NO_DEVICE_SELECTED);
    unsetenv("WICKPORT_USB_IDS");
}

TEST_F(SelectionTest, MatchesWithoutRegardToCaseAndReturnsTheListedText) {
    ASSERT_EQ(UseAdapters("Vz00aB;VZ0002:pid=0x8045"), 2);
    EXPECT_EQ(Selected(), "<none>");
    const char* sn = nullptr;
    EXPECT_EQ(WpGetSelectedSerial(&sn), WP_E_NO_DEVICE_SELECTED);
    int pid = 0;
    EXPECT_EQ(WpGetProductId(&pid), WP_E_NO_DEVICE_SELECTED);

    ASSERT_EQ(WpSelectDevice("vz0002"), WP_OK);
    EXPECT_EQ(Selected(), "VZ0002");
    ASSERT_EQ(WpGetProductId(&pid), WP_OK);
    EXPECT_EQ(pid, 0x8045);

    ASSERT_EQ(WpSelectDevice("VZ00AB"), WP_OK);
    EXPECT_EQ(Selected(), "Vz00aB");
    ASSERT_EQ(WpGetProductId(&pid), WP_OK);
    EXPECT_EQ(pid, 0x8A51);
}

TEST_F(SelectionTest, TellsTheBackendOfTheSelectedAdapter) {
    int backend = -1;
    ASSERT_EQ(UseAdapters("VZ1;VZ2:backend=real"), 2);
    EXPECT_EQ(WpGetBackend(&backend), WP_E_NO_DEVICE_SELECTED);
    ASSERT_EQ(WpSelectDevice("VZ1"), WP_OK);
    ASSERT_EQ(WpGetBackend(&backend), WP_OK);
    EXPECT_EQ(backend, WP_BACKEND_VIRTUAL);
    ASSERT_EQ(WpSelectDevice("VZ2"), WP_OK);
    ASSERT_EQ(WpGetBackend(&backend), WP_OK);
    EXPECT_EQ(backend, WP_BACKEND_HID);
    EXPECT_EQ(WpGetBackend(nullptr), WP_E_IO);
    // Not one of the maker's calls: no ordinal reaches it.
    for (int ordinal = 0; ordinal < 64; ++ordinal)
        EXPECT_NE(WickportByOrdinal(ordinal), reinterpret_cast<void*>(&WpGetBackend));
}

TEST_F(SelectionTest, UnknownSerialFailsAndLeavesNothingSelected) {
    ASSERT_EQ(UseAdapters("VZ1;VZ2"), 2);
    ASSERT_EQ(WpSelectDevice("VZ1"), WP_OK);
    EXPECT_EQ(WpSelectDevice("VZ3"), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(Selected(), "<none>");
    EXPECT_EQ(WpSelectDevice("VZ"), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(WpSelectDevice(""), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(WpOpen(), WP_E_NO_DEVICE_SELECTED);
}

TEST_F(SelectionTest, TheOnlyAdapterIsSelectedByEnumeration) {
    ASSERT_EQ(UseAdapters("ONLY"), 1);
    EXPECT_EQ(Selected(), "ONLY");
    // Two adapters: nothing is chosen for the caller.
    ASSERT_EQ(UseAdapters("P1;P2"), 2);
    EXPECT_EQ(Selected(), "<none>");
}

TEST_F(SelectionTest, SurvivesReEnumerationUntilTheAdapterLeavesTheList) {
    ASSERT_EQ(UseAdapters("S1;S2;S3"), 3);
    ASSERT_EQ(WpSelectDevice("S2"), WP_OK);
    ASSERT_EQ(UseAdapters("S3;S2"), 2);
    EXPECT_EQ(Selected(), "S2");
    ASSERT_EQ(UseAdapters("S1;S3"), 2);
    EXPECT_EQ(Selected(), "<none>");
}

TEST_F(SelectionTest, ALongerSerialNeverMatchesTheLongestListedOne) {
    const std::string longest(127, 'M');
    ASSERT_EQ(UseAdapters((longest + ";OTHER").c_str()), 2);
    EXPECT_EQ(WpSelectDevice((longest + "M").c_str()), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(WpSelectDevice((longest + std::string(5000, 'M')).c_str()), WP_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(Selected(), "<none>");
    ASSERT_EQ(WpSelectDevice(longest.c_str()), WP_OK);
    EXPECT_EQ(Selected(), longest);
}

TEST_F(SelectionTest, AcceptsATextTheLibraryHandedOut) {
    ASSERT_EQ(UseAdapters("T1;T2"), 2);
    const char* sn = nullptr;
    ASSERT_EQ(WpGetSerialByIndex(1, &sn), WP_OK);
    ASSERT_EQ(WpSelectDevice(sn), WP_OK);
    EXPECT_EQ(Selected(), "T2");
}

TEST(Ordinals, EveryOrdinalHandsOutItsFunction) {
    struct Row {
        int ordinal;
        void* fn;
    };
    const std::vector<Row> rows = {
        {1, reinterpret_cast<void*>(&WpGetDeviceCount)},
        {2, reinterpret_cast<void*>(&WpResetBootMode)},
        {3, reinterpret_cast<void*>(&WpSelectDevice)},
        {4, reinterpret_cast<void*>(&WpSetTimeout)},
        {5, reinterpret_cast<void*>(&WpGetSelectedSerial)},
        {6, reinterpret_cast<void*>(&WpGetSerialByIndex)},
        {7, reinterpret_cast<void*>(&WpOpen)},
        {8, reinterpret_cast<void*>(&WpClose)},
        {9, reinterpret_cast<void*>(&WpRead)},
        {10, reinterpret_cast<void*>(&WpWrite)},
        {12, reinterpret_cast<void*>(&WpResetAdapter)},
        {13, reinterpret_cast<void*>(&WpGetVersion)},
        {15, reinterpret_cast<void*>(&WpSetControlValue)},
        {16, reinterpret_cast<void*>(&WpGetControlValue)},
        {17, reinterpret_cast<void*>(&WpGetProductId)},
        {18, reinterpret_cast<void*>(&WpGetProductIdByIndex)},
        {20, reinterpret_cast<void*>(&WpSetFeatureReport)},
        {21, reinterpret_cast<void*>(&WpGetFeatureReport)},
    };
    for (const Row& r : rows) EXPECT_EQ(WickportByOrdinal(r.ordinal), r.fn) << r.ordinal;
    for (int missing : {-1, 0, 11, 14, 19, 22, 23, 1000}) {
        EXPECT_EQ(WickportByOrdinal(missing), nullptr) << missing;
    }
}

TEST(Ordinals, CallsThroughTheTableReachTheLibrary) {
    using VersionFn = int (*)(const char**);
    auto fn = reinterpret_cast<VersionFn>(WickportByOrdinal(13));
    ASSERT_NE(fn, nullptr);
    const char* v = nullptr;
    ASSERT_EQ(fn(&v), WP_OK);
    EXPECT_STREQ(v, "1.0.0");
}

}  // namespace
