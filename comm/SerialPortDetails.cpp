#include "SerialPortDetails.h"

#include "RynSimModemEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Hex4(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Text(const QString &s) { return s.trimmed().toStdString(); }

} // namespace

std::string PortChoice(const SerialPortDetails &port)
{
    return port.stableName.empty() ? port.name : port.stableName;
}

std::string PortLabel(const SerialPortDetails &port)
{
    std::vector<std::string> facts;
    // udev often repeats the maker as the description of a plain adapter.
    if (!port.description.empty() && !port.manufacturer.empty() && port.description != port.manufacturer)
        facts.push_back(port.description + " (" + port.manufacturer + ")");
    else if (!port.description.empty())
        facts.push_back(port.description);
    else if (!port.manufacturer.empty())
        facts.push_back(port.manufacturer);
    if (!port.serialNumber.empty())
        facts.push_back("serial " + port.serialNumber);
    if (port.vendorId && port.productId)
        facts.push_back("USB " + Hex4(*port.vendorId) + ":" + Hex4(*port.productId));
    if (!port.stableName.empty())
        facts.push_back(port.stableName);

    std::string label = port.name;
    for (std::size_t i = 0; i < facts.size(); ++i)
        label += (i == 0 ? ": " : ", ") + facts[i];
    return label;
}

SerialPortDetails SimulatedPortDetails()
{
    SerialPortDetails sim;
    sim.name = "SIM";
    sim.description = "built-in simulated modem";
    return sim;
}

std::vector<SerialPortDetails> SimulatedPorts()
{
    std::vector<SerialPortDetails> ports{SimulatedPortDetails()};
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models()) {
        if (!*info.model || std::string_view(info.model) == TRynSimModemEngine::kDefaultModel)
            continue;
        SerialPortDetails sim;
        sim.name = std::string("SIM:") + info.model;
        const char *radio = info.radio == TRynSimRadio::Gsm ? "GSM" : info.radio == TRynSimRadio::Lte ? "LTE" : "LTE and 5G";
        sim.description = std::string("simulated ") + info.manufacturer + " " + info.model + ", " + radio;
        ports.push_back(std::move(sim));
    }
    return ports;
}

std::map<std::string, std::string> StablePortNames(const std::string &folder)
{
    std::map<std::string, std::string> names;
    const QDir dir(QString::fromStdString(folder));
    // Sorted by name, so the first link to a device wins.
    for (const QFileInfo &link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (link.isSymLink() && !target.isEmpty())
            names.emplace(target.toStdString(), link.absoluteFilePath().toStdString());
    }
    return names;
}

std::vector<SerialPortDetails> SystemSerialPorts(const std::string &folder)
{
    const std::map<std::string, std::string> stable = StablePortNames(folder);
    std::vector<SerialPortDetails> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortDetails port;
        port.name = Text(info.portName());
        port.location = Text(info.systemLocation());
        port.manufacturer = Text(info.manufacturer());
        port.description = Text(info.description());
        port.serialNumber = Text(info.serialNumber());
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            port.vendorId = info.vendorIdentifier();
            port.productId = info.productIdentifier();
        }
        const QString canonical = QFileInfo(info.systemLocation()).canonicalFilePath();
        if (const auto found = stable.find(canonical.toStdString()); found != stable.end())
            port.stableName = found->second;
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const auto &a, const auto &b) { return a.name < b.name; });
    ports.erase(std::unique(ports.begin(), ports.end(), [](const auto &a, const auto &b) { return a.name == b.name; }),
                ports.end());
    return ports;
}

std::string DeviceGroup(const std::string &device)
{
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0)
        return {};
    const group *entry = ::getgrgid(status.st_gid);
    return entry ? entry->gr_name : std::string();
}

std::string PermissionDeniedHint(const std::string &device, const std::string &group)
{
    // Joining root's group would be no advice at all.
    if (group.empty() || group == "root")
        return "Ask the administrator for read and write access to " + device + ".";
    return device + " belongs to the group " + group + ": add your user to the group " + group +
           " (sudo usermod -aG " + group + " $USER), then log in again.";
}

std::vector<PortHolder> DeviceHolders(const std::string &device)
{
    struct stat wanted {};
    if (::stat(device.c_str(), &wanted) != 0 || !S_ISCHR(wanted.st_mode))
        return {};
    namespace fs = std::filesystem;
    std::vector<PortHolder> holders;
    std::error_code error;
    for (const fs::directory_entry &process : fs::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        int pid = 0;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (ec != std::errc() || end != name.data() + name.size())
            continue;
        std::error_code fdError;
        for (const fs::directory_entry &fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            struct stat open {};
            if (::stat(fd.path().c_str(), &open) != 0 || !S_ISCHR(open.st_mode) || open.st_rdev != wanted.st_rdev)
                continue;
            PortHolder holder{pid, {}};
            std::ifstream comm(process.path() / "comm");
            std::getline(comm, holder.name);
            holders.push_back(std::move(holder));
            break;
        }
    }
    std::sort(holders.begin(), holders.end(), [](const auto &a, const auto &b) { return a.pid < b.pid; });
    return holders;
}

std::string PortInUseText(const std::string &port, const std::vector<PortHolder> &holders)
{
    std::string text = "port " + port + " is in use by ";
    if (holders.empty())
        return text + "another program";
    for (std::size_t i = 0; i < holders.size(); ++i)
        text += (i == 0 ? "" : ", ") + (holders[i].name.empty() ? std::string("a process") : holders[i].name) +
                " (pid " + std::to_string(holders[i].pid) + ")";
    return text;
}

bool IsNotASerialDevice(const std::string &device)
{
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return false;
    if (!S_ISCHR(st.st_mode))
        return true;
    // A character device: a terminal only if it says so. Asked without
    // blocking and without becoming its controlling terminal.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false; // busy or not allowed: the open says why
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return !terminal;
}
