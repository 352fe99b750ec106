#include "tools/command_names.h"

#include <cstdio>

namespace fpm::cli {

namespace {

struct Named {
    std::uint8_t code;
    const char *name;
};

constexpr Named kCommands[] = {
    {0x10, "ENROLL_REQUEST"},         {0x11, "CHECK_ENROLL_STATUS"},    {0x12, "GET_ENROLL_IMAGE"},
    {0x13, "QUERY_ENROLL_AMOUNT"},    {0x14, "DELETE_FINGER"},          {0x20, "VERIFY_REQUEST"},
    {0x21, "CHECK_VERIFY_STATUS"},    {0x22, "GET_VERIFY_IMAGE"},       {0x23, "IDENTIFY_REQUEST"},
    {0x24, "GET_IDENTIFY_IMAGE"},     {0x30, "INITIALIZE_DEVICE"},      {0x31, "GET_CURRENT_IMAGE"},
    {0x32, "GET_FIRMWARE_VERSION"},   {0x33, "CANCEL"},                 {0x34, "QUERY_SIZE"},
    {0x35, "CHECK_IDENTIFY_STATUS"},  {0x36, "ISSUE_CARD"},             {0x37, "CHECK_CARD_ISSUED"},
    {0x38, "CHECK_IMAGE"},            {0x39, "GET_BUFFER_IMAGE"},       {0x3B, "SEND_IMAGE"},
    {0x3D, "SET_LEDS"},               {0x3E, "SET_DEV_STATUS"},         {0x40, "GET_G55_STATUS"},
    {0x41, "GET_IC_TYPE"},            {0x42, "SENSOR_IO_CHECK"},        {0x43, "MODULE_IO_CHECK"},
    {0x44, "ENTER_SENSING_MODE"},     {0x45, "GET_CURRENT_DATA"},       {0x46, "DO_CALIBRATION"},
    {0x47, "OUTPUT_CALIBRATION_IMAGE"}, {0x48, "OUTPUT_DAC"},           {0x49, "OUTPUT_BASE_IMAGE"},
    {0x4A, "ENTER_WOE"},              {0x4B, "EXIT_WOE"},               {0x4C, "READ_WOE_STATUS"},
    {0x4D, "ENTER_TEST_MODE"},        {0x4E, "EXIT_TEST_MODE"},         {0x4F, "GET_RAW_IMAGE"},
    {0x50, "READ_REGISTER"},          {0x51, "WRITE_REGISTER"},         {0x52, "SWITCH_TO_BOOT"},
    {0x53, "RF_CONNECTION"},          {0x54, "ACF_BONDING_IO_CHECK"},   {0x59, "UPDATE_BASE_IMAGE"},
    {0x60, "VENDOR_CODE"},            {0x61, "GET_SECURE_VENDOR_CODE"}, {0x62, "CONFIRM_SECURE_VENDOR_CODE"},
    {0x63, "CHECK_CT_MODULE"},        {0x64, "DUMP_FLASH_IMAGE"},       {0x66, "FLASH_BLOCK"},
    {0x68, "PRODUCT_INFO"},           {0x69, "GET_VERIFY_PERIOD"},      {0x70, "GET_FINGERPRINT"},
    {0x71, "GET_VCB"},                {0x72, "SET_VCB"},                {0x78, "AUTO_TEST"},
};

constexpr Named kStatuses[] = {
    {1, "OK"}, {2, "ERROR"}, {3, "BUSY"}, {5, "MATCH"}, {6, "NO_MATCH"}, {7, "FAKE_FINGER"},
    {8, "CANCELING"}, {9, "UNKNOWN_CMD"},
};

template <std::size_t N>
const char *find(const Named (&table)[N], std::uint8_t code)
{
    for (const Named &n : table)
        if (n.code == code) return n.name;
    return nullptr;
}

}  // namespace

std::string commandName(std::uint8_t code)
{
    if (const char *name = find(kCommands, code)) return name;
    char text[16];
    std::snprintf(text, sizeof text, "CMD_0x%02X", code);
    return text;
}

std::string statusName(std::uint8_t status)
{
    if (const char *name = find(kStatuses, status)) return name;
    return "STATUS_" + std::to_string(status);
}

}  // namespace fpm::cli
