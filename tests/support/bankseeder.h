#pragma once

#include <QHash>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QString>
#include <QStringList>

class QImage;

// Fills a running quenmo-server with a teacher's groups and exercises over plain synchronous
// HTTP, for the client suites and benchmarks that need a real bank behind the window.
class BankSeeder
{
public:
    explicit BankSeeder(const QString &baseUrl);

    // Logs in one of the seeded teachers (the math teacher by default).
    bool login(const QString &phone = QStringLiteral("13800000002"),
        const QString &password = QStringLiteral("quenmo123"));
    QString token() const { return m_token; }
    int userId() const { return m_userId; }
    QJsonObject user() const { return m_user; }

    // The reply envelope; empty when the request failed on the network.
    QJsonObject post(const QString &path, const QJsonObject &body);

    int addGroup(const QString &name);
    // Exercise type id and the id of its first question type, by the type's name ("单选题").
    int typeId(const QString &name);
    int questionTypeId(const QString &name);
    // The fileKey of an uploaded picture.
    QString uploadImage(const QImage &image);

    // One sub-question with options (code text each) and answer "A"; returns the exercise id.
    int addChoiceExercise(int groupId, const QString &typeName, int difficulty,
        const QString &question, const QStringList &options, const QString &analysis = QString());

    // "<doc>text</doc>" with the markup escaped.
    static QString doc(const QString &text);

private:
    void loadTypes();

    QString m_base;
    QString m_token;
    int m_userId = 0;
    QJsonObject m_user;
    QHash<QString, QPair<int, int>> m_types;
    QNetworkAccessManager m_manager;
};
