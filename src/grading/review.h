// The review screen before grading and its review pages.
#pragma once

struct question;

// Shows the review screen for the run that `item` belongs to.
void reviewExam(question *item);
