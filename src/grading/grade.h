// Grading and the score report.
#pragma once

struct question;

// Grades every item of the run that `item` belongs to and shows the score
// report, without asking.
void gradeExam(question *item);
