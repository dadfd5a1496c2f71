#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

// One class of 6-character connection code. The receiver builds a code with the
// Insert operations; the client only checks and parses one.
//
// A 6-character code is six base-32 digits, a 30-bit number held as four
// big-endian bytes b0..b3. Bits 5-4 of b0 name the class (0, 1, 2, or 3 for the
// idle class); the rest of b0 and some moved address bits are class specific.
class AirCodeHandler {
 public:
  using Bytes = std::array<uint8_t, 4>;

  // The TCP ports of the receiver's session protocol, indexed by a 2-bit field.
  static constexpr std::array<uint16_t, 4> kPortTable = {7382, 7383, 7384, 7385};

  virtual ~AirCodeHandler();

  // True when the code decodes and its check bits agree.
  virtual bool Check(const std::string& code) const = 0;

  // Encoder side, building the working code value in the order InsertType,
  // InsertIp, InsertPort, InsertRandom, InsertCheck. The client never calls these.
  virtual bool InsertIp(const std::string& ip) = 0;
  virtual bool InsertPort(uint16_t port) = 0;
  virtual void InsertRandom(uint32_t random) = 0;
  virtual void InsertType() = 0;
  virtual void InsertCheck() = 0;

  // Decoder side. ParseIp may restore moved bits in `bytes`; ParsePort reads the
  // restored bytes, so the two run in this order on one buffer.
  virtual std::string ParseIp(Bytes& bytes) const = 0;
  virtual uint16_t ParsePort(const Bytes& bytes) const = 0;

  // Decodes the code once and parses address and port from the same buffer.
  // A code that does not decode yields empty text and port 0.
  std::pair<std::string, uint16_t> ParseAddress(const std::string& code) const;

  // The working code value (30 bits) built by the Insert operations.
  uint32_t code() const { return code_; }
  const std::string& prefix() const { return prefix_; }

 protected:
  explicit AirCodeHandler(std::string prefix) : prefix_(std::move(prefix)) {}

  // Bytes b0..b3 of the working code value.
  Bytes CodeBytes() const;
  void SetCodeBytes(const Bytes& bytes);
  // Dotted-decimal IPv4 text into its four octets.
  static bool ParseIpv4(const std::string& ip, Bytes& octets);
  // The index of a port in the port table, or -1.
  static int PortIndex(uint16_t port);

  uint32_t code_ = 0;
  std::string prefix_;
  std::array<uint16_t, 4> port_table_ = kPortTable;
};
