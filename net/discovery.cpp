#include "net/discovery.h"

#include <cstring>

const char* const DISCOVERY_DEVICE_NAMES[3] = {"Tavrin-SDR", "Plovex", "TVN480x-SDR"};

namespace {

constexpr int NAME_AT = 5, SERIAL_AT = 21, TEXT_FIELD_BYTES = 16;
constexpr int ADDRESS_AT = 37, PORT_AT = 53, IN_USE_AT = 87;

// A text field of 16 bytes: up to its zero byte, or all 16 bytes when it has
// none (the name check then fails, as no accepted name is 16 long).
QString text_field(const uint8_t* field) {
  const void* end = memchr(field, 0, TEXT_FIELD_BYTES);
  const int length = end ? int(static_cast<const uint8_t*>(end) - field) : TEXT_FIELD_BYTES;
  return QString::fromLatin1(reinterpret_cast<const char*>(field), length);
}

bool has_zero_byte(const uint8_t* field) { return memchr(field, 0, TEXT_FIELD_BYTES) != nullptr; }

}  // namespace

std::array<uint8_t, DISCOVERY_REQUEST_BYTES> discovery_request() {
  std::array<uint8_t, DISCOVERY_REQUEST_BYTES> request{};
  request[0] = DISCOVERY_REQUEST_BYTES;
  request[2] = 0x5A;
  request[3] = 0xA5;
  return request;
}

ReplyCheck check_discovery_reply(const uint8_t* data, int length) {
  if (length < DISCOVERY_MIN_REPLY_BYTES) return ReplyCheck::too_short;
  if (data[2] != 0x5A || data[3] != 0xA5) return ReplyCheck::wrong_signature;
  if (!has_zero_byte(data + NAME_AT)) return ReplyCheck::unknown_name;
  const QString name = text_field(data + NAME_AT);
  for (const char* accepted : DISCOVERY_DEVICE_NAMES)
    if (name == QLatin1String(accepted)) return ReplyCheck::accepted;
  return ReplyCheck::unknown_name;
}

void store_discovery_record(uint8_t* record, const uint8_t* data, int length) {
  const int kept = length < DISCOVERY_RECORD_BYTES ? (length > 0 ? length : 0) : DISCOVERY_RECORD_BYTES;
  memset(record, 0, DISCOVERY_RECORD_BYTES);
  memcpy(record, data, size_t(kept));
}

QString discovery_serial(const uint8_t* data) { return text_field(data + SERIAL_AT); }

DiscoveredReceiver decode_discovery_record(const uint8_t* record) {
  DiscoveredReceiver r;
  r.name = text_field(record + NAME_AT);
  r.serial = text_field(record + SERIAL_AT);
  const uint8_t* a = record + ADDRESS_AT;
  r.ipv4 = uint32_t(a[0]) | uint32_t(a[1]) << 8 | uint32_t(a[2]) << 16 | uint32_t(a[3]) << 24;
  r.port = uint16_t(record[PORT_AT] | record[PORT_AT + 1] << 8);
  r.in_use = (record[IN_USE_AT] & 0x03) != 0;
  return r;
}

QString discovery_listing_line(const DiscoveredReceiver& r) {
  // One pass over the format, so that a name or serial number holding "%2"
  // is shown as it is rather than taken for a place-holder.
  const QString line = QString("%1   SN=%2   IP=%3.%4.%5.%6   Port=%7 \n\r")
                           .arg(r.name, r.serial, QString::number(r.ipv4 >> 24),
                                QString::number((r.ipv4 >> 16) & 0xFF),
                                QString::number((r.ipv4 >> 8) & 0xFF), QString::number(r.ipv4 & 0xFF),
                                QString::number(r.port));
  return r.in_use ? "(In Use) " + line : line;
}

uint16_t stream_port(uint16_t receiver_port, int stream_number) {
  if (stream_number < 1 || stream_number > 4) return receiver_port;
  return uint16_t(receiver_port + stream_number - 1);
}
