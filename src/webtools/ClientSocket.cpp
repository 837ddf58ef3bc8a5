#include "webtools/ClientSocket.h"

#include "platform/GbkText.h"

namespace quill {
namespace {

const char* const kActiveError = "Can't change value while socket is active";

// The numbers the system's socket layer gives these failures.
int errorNumber(ConnectFailure failure)
{
    switch (failure) {
    case ConnectFailure::HostNotFound: return 11001;
    case ConnectFailure::Refused: return 10061;
    case ConnectFailure::TimedOut: return 10060;
    case ConnectFailure::Unreachable: return 10065;
    case ConnectFailure::Other: break;
    }
    return 10049;
}

} // namespace

std::string connectErrorText(ConnectFailure failure, const std::string& systemText)
{
    const std::string number = std::to_string(errorNumber(failure));
    if (failure == ConnectFailure::HostNotFound)
        return "Windows socket error: " + systemText + " (" + number + "), on API 'ASync Lookup'";
    return "Asynchronous socket error " + number;
}

Status ClientSocket::setHost(const std::string& host)
{
    if (upperAscii(host) == upperAscii(m_host))
        return Status();
    if (m_active)
        return Status::failure(kActiveError);
    m_host = host;
    return Status();
}

Status ClientSocket::setPort(int port)
{
    if (port == m_port)
        return Status();
    if (m_active)
        return Status::failure(kActiveError);
    m_port = port;
    return Status();
}

void ClientSocket::open()
{
    if (m_active)
        return;
    m_active = true;
    startConnecting();
}

void ClientSocket::close()
{
    if (!m_active)
        return;
    m_active = false;
    shutDown();
    if (m_events.disconnected)
        m_events.disconnected();
}

void ClientSocket::reportConnected()
{
    if (m_events.connected)
        m_events.connected();
}

void ClientSocket::reportReadable()
{
    if (m_events.readable)
        m_events.readable();
}

void ClientSocket::reportDisconnected()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_events.disconnected)
        m_events.disconnected();
}

void ClientSocket::reportFailed(ConnectFailure failure, const std::string& systemText)
{
    m_active = false;
    if (m_events.failed)
        m_events.failed(connectErrorText(failure, systemText));
}

} // namespace quill
