// The CD-ROM drives the test prefix provides (tests/win32/test_drives.txt, which the prefix
// script reads): the Enter label cases and a drive without a disc.
#pragma once

#include <string>
#include <vector>

namespace wtk::win32test {

struct TestDrive {
    char letter;
    std::string label;  // as GetVolumeInformationA gives it
    bool hasContentsPage;
    bool hasDisc;
};

const std::vector<TestDrive>& TestDrives();
const TestDrive& Drive(char letter);

}  // namespace wtk::win32test
