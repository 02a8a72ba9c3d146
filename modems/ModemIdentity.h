#pragma once
// What a modem says about itself and its SIM once per connection: the
// firmware (AT+CGMR), the IMEI (AT+CGSN), the SIM's state (AT+CPIN?) and,
// where the modem answers, the IMSI (AT+CIMI) and the ICCID (AT+CCID). All
// of them are read commands. Empty means not known.

#include <string>
#include <string_view>

struct ModemIdentity {
    std::string firmware;
    std::string imei;
    std::string sim; // the +CPIN code ("READY", "SIM PIN", "SIM PUK"), or "not inserted"
    std::string imsi;
    std::string iccid;
};

// The value of an identity answer line as the modem printed it, its echo
// of the command's name and quotes removed: "+CGMR: EC25EFAR06A06M4G" and
// "EC25EFAR06A06M4G" give the same; "Revision: 1.2" gives "1.2". A final or
// empty line gives nothing.
std::string IdentityValue(std::string_view line);

// The SIM state of an answer line to AT+CPIN?: "+CPIN: READY" gives
// "READY"; an error that says the card is missing (+CME ERROR 10, 13 or
// their words) gives "not inserted"; anything else nothing.
std::string SimStateOf(std::string_view line);

// What the user must know about the SIM, in plain words ("no SIM card",
// "SIM locked: the PIN is needed"); empty when it is ready or not known.
std::string SimProblemText(const std::string &sim);
