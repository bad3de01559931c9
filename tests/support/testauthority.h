// A certificate authority made for one test with the openssl tool, and the certificate it signed
// for a server on 127.0.0.1. The system never trusts it; trust() makes this process trust it
// (and nothing else) until the authority goes out of scope.
#pragma once

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStringList>
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
        const QString ec = QStringLiteral("ec_paramgen_curve:prime256v1");
        const QList<QStringList> steps {
            { "req", "-x509", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-days", "2", "-subj", "/CN=Autorita di prova",
              "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign",
              "-keyout", "ca.key", "-out", "ca.pem" },
            { "req", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-subj", "/CN=127.0.0.1", "-keyout", "server.key",
              "-out", "server.csr" },
            { "x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-days", "2",
              "-extfile", "server.ext", "-out", "server.pem" },
        };
        QFile extensions(dir.filePath(QStringLiteral("server.ext")));
        if (!extensions.open(QIODevice::WriteOnly)
            || extensions.write("subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n") <= 0)
            return false;
        extensions.close();
        for (const QStringList& step : steps) {
            QProcess openssl;
            openssl.setWorkingDirectory(dir.path());
            openssl.start(QStringLiteral("openssl"), step);
            const bool ran = openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit;
            if (!ran || openssl.exitCode() != 0)
                return false;
        }
        return true;
    }

    // The store service's arguments that make it serve TLS with the signed certificate.
    QStringList serverArguments() const
    {
        return { QStringLiteral("--cert"), dir.filePath(QStringLiteral("server.pem")), QStringLiteral("--key"),
                 dir.filePath(QStringLiteral("server.key")) };
    }

    void trust()
    {
        before = QSslConfiguration::defaultConfiguration();
        trusted = true;
        QSslConfiguration configuration = before;
        configuration.setCaCertificates(QSslCertificate::fromPath(dir.filePath(QStringLiteral("ca.pem"))));
        QSslConfiguration::setDefaultConfiguration(configuration);
    }

private:
    QTemporaryDir dir;
    QSslConfiguration before;
    bool trusted = false;
};
