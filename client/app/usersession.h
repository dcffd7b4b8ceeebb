#pragma once

#include <QString>

// The one login of this process, filled by the login reply and read by every request after it.
class UserSession
{
public:
    static UserSession &instance();

    QString loginToken;
    int userId = 0;
    QString phoneNumber;
    int roleid = 0;
    int subjectCode = 0;
    QString rolename;
    QString username;
    QString realName;
    int provinceId = 0;

private:
    UserSession() = default;
    Q_DISABLE_COPY(UserSession)
};
