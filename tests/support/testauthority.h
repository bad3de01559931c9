// A certificate for a server on 127.0.0.1 that is its own authority, made for one test with the
// openssl tool. The system never trusts it; trust() makes this process trust it, and nothing
// else, until the object goes.
#pragma once

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>

class TestAuthority
{
public:
    ~TestAuthority()
    {
        if (trusted)
            QSslConfiguration::setDefaultConfiguration(before);
    }

    // False when the openssl tool is missing or fails.
    bool make()
    {
        QProcess openssl;
        openssl.setWorkingDirectory(dir.path());
        openssl.start("openssl", { "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                   "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                   "subjectAltName=IP:127.0.0.1", "-keyout", "key.pem", "-out", "cert.pem" });
        return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit
            && openssl.exitCode() == 0;
    }

    // What makes the reference store service speak TLS with this certificate.
    QStringList serverArguments() const
    {
        return { "--cert", dir.filePath("cert.pem"), "--key", dir.filePath("key.pem") };
    }

    void trust()
    {
        before = QSslConfiguration::defaultConfiguration();
        trusted = true;
        QSslConfiguration configuration = before;
        configuration.setCaCertificates(QSslCertificate::fromPath(dir.filePath("cert.pem")));
        QSslConfiguration::setDefaultConfiguration(configuration);
    }

private:
    QTemporaryDir dir;
    QSslConfiguration before;
    bool trusted = false;
};
