#include "test_drives.h"

#include <stdexcept>

namespace wtk::win32test {

const std::vector<TestDrive>& TestDrives() {
    static const std::vector<TestDrive> drives = {
        {'E', "enter", true, true},      {'F', "enter", false, true},      {'G', "ENTER", true, true},
        {'H', "Enter", true, true},      {'I', "enter1", false, true},     {'J', "ente", false, true},
        {'K', "", false, true},          {'L', "enter_2004", false, true}, {'M', "enter2", false, true},
        {'N', "", false, false},
    };
    return drives;
}

const TestDrive& Drive(char letter) {
    for (const TestDrive& drive : TestDrives()) {
        if (drive.letter == letter) {
            return drive;
        }
    }
    throw std::out_of_range(std::string("no test drive ") + letter);
}

}  // namespace wtk::win32test
